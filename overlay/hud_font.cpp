#include "overlay/hud_font.hpp"

#include <fmt/format.h>

#include FT_MULTIPLE_MASTERS_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace skelder {
namespace {

// FreeType's library object is not thread-safe for creating and freeing faces.
std::mutex& freetypeMutex() {
    static std::mutex mutex;
    return mutex;
}

// One library for every face the HUD opens; Cairo may keep faces made from it until exit.
FT_Library freetypeLibrary() {
    static const FtLibraryPtr library = [] {
        FT_Library raw = nullptr;
        return FtLibraryPtr(FT_Init_FreeType(&raw) == 0 ? raw : nullptr);
    }();
    return library.get();
}

void releaseFace(void* face) {
    const std::lock_guard lock(freetypeMutex());
    FT_Done_Face(static_cast<FT_Face>(face));
}

struct FaceDeleter {
    void operator()(FT_Face face) const noexcept { releaseFace(face); }
};
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceDeleter>;

struct VariationsDeleter {
    void operator()(FT_MM_Var* variations) const noexcept {
        FT_Done_MM_Var(freetypeLibrary(), variations);
    }
};
using VariationsPtr = std::unique_ptr<FT_MM_Var, VariationsDeleter>;

const cairo_user_data_key_t kFreetypeFaceKey{};

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string tagText(FT_ULong tag) {
    return {static_cast<char>((tag >> 24) & 0xff), static_cast<char>((tag >> 16) & 0xff),
            static_cast<char>((tag >> 8) & 0xff), static_cast<char>(tag & 0xff)};
}

FontOptionsPtr hudFontOptions() {
    // Unhinted outlines and metrics: the HUD scales with the frame and must look the same at
    // every size.
    FontOptionsPtr options{cairo_font_options_create()};
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    return options;
}

ScaledFontPtr scaledFont(cairo_font_face_t* face, double size,
                         const cairo_font_options_t* options) {
    if (face == nullptr || !(size > 0) || !std::isfinite(size)) {
        return nullptr;
    }
    cairo_matrix_t fontMatrix;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&fontMatrix, size, size);
    cairo_matrix_init_identity(&identity);
    ScaledFontPtr font{cairo_scaled_font_create(face, &fontMatrix, &identity, options)};
    if (cairo_scaled_font_status(font.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return font;
}

int fontconfigWeight(HudFontWeight weight) {
    switch (weight) {
        case HudFontWeight::regular:
            return FC_WEIGHT_REGULAR;
        case HudFontWeight::medium:
            return FC_WEIGHT_MEDIUM;
        case HudFontWeight::semibold:
            return FC_WEIGHT_SEMIBOLD;
        case HudFontWeight::bold:
            return FC_WEIGHT_BOLD;
    }
    return FC_WEIGHT_REGULAR;
}

std::optional<std::filesystem::path> existingFile(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        return path;
    }
    return std::nullopt;
}

FacePtr openFace(const std::filesystem::path& file) {
    FT_Library library = freetypeLibrary();
    if (library == nullptr) {
        return nullptr;
    }
    const std::lock_guard lock(freetypeMutex());
    FT_Face raw = nullptr;
    if (FT_New_Face(library, file.c_str(), 0, &raw) != 0) {
        return nullptr;
    }
    return FacePtr(raw);
}

}  // namespace

std::optional<std::filesystem::path> findHudFontFile() {
    if (const char* override = std::getenv("SKELDER_FONTS_DIR"); override && *override) {
        if (auto file = existingFile(std::filesystem::path(override) / kHudFontFileName)) {
            return file;
        }
    }
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    bool runFromBuildTree = false;
    if (!error) {
#ifdef SKELDER_BUILD_DIR
        // /proc/self/exe has its links resolved; so must the build folder.
        std::error_code canonicalError;
        const auto buildDir =
            std::filesystem::weakly_canonical(SKELDER_BUILD_DIR, canonicalError).string() + "/";
        runFromBuildTree = !canonicalError && executable.string().starts_with(buildDir);
#endif
        const auto resources = executable.parent_path().parent_path() / "share" / "skelder";
        for (const auto& candidate :
             {resources / "Fonts" / kHudFontFileName, resources / kHudFontFileName}) {
            if (auto file = existingFile(candidate)) {
                return file;
            }
        }
    }
#ifdef SKELDER_SOURCE_FONTS_DIR
    // Only for programs of this build: an installed program must not depend on the sources.
    if (runFromBuildTree) {
        if (auto file =
                existingFile(std::filesystem::path(SKELDER_SOURCE_FONTS_DIR) / kHudFontFileName)) {
            return file;
        }
    }
#endif
    return std::nullopt;
}

std::unique_ptr<const HudFontRecord> HudFontRecord::load(
    const std::optional<std::filesystem::path>& file) {
    std::unique_ptr<HudFontRecord> record(new HudFontRecord());
    if (!file) {
        return record;
    }
    const FacePtr face = openFace(*file);
    if (!face) {
        return record;
    }
    record->file_ = *file;
    const char* postscriptName = FT_Get_Postscript_Name(face.get());
    record->fontName_ = postscriptName != nullptr      ? postscriptName
                        : face->family_name != nullptr ? face->family_name
                                                       : "";
    FT_MM_Var* rawVariations = nullptr;
    if (FT_HAS_MULTIPLE_MASTERS(face) && FT_Get_MM_Var(face.get(), &rawVariations) == 0) {
        const VariationsPtr variations(rawVariations);
        for (FT_UInt i = 0; i < variations->num_axis; ++i) {
            const FT_Var_Axis& axis = variations->axis[i];
            if (axis.name != nullptr && lowercase(axis.name).find("weight") != std::string::npos) {
                WeightAxis weight{tagText(axis.tag),
                                  i,
                                  variations->num_axis,
                                  static_cast<double>(axis.minimum) / 65536.0,
                                  static_cast<double>(axis.maximum) / 65536.0,
                                  {}};
                for (FT_UInt k = 0; k < variations->num_axis; ++k) {
                    weight.defaults.push_back(variations->axis[k].def);
                }
                record->weightAxis_ = std::move(weight);
                break;
            }
        }
    }
    return record;
}

const HudFontRecord& HudFontRecord::process() {
    // Never destroyed: render workers may still draw while the process exits.
    static const HudFontRecord* const record = load(findHudFontFile()).release();
    return *record;
}

std::optional<std::string> HudFontRecord::weightAxisTag() const {
    if (!weightAxis_) {
        return std::nullopt;
    }
    return weightAxis_->tag;
}

cairo_font_face_t* HudFontRecord::faceForWeight(double variationWeight) const {
    double key = 0;
    if (weightAxis_) {
        key = std::clamp(std::clamp(variationWeight, 100.0, 900.0), weightAxis_->minimum,
                         weightAxis_->maximum);
    }
    const std::lock_guard lock(mutex_);
    FontFacePtr& cached = faces_[key];
    if (cached) {
        return cached.get();
    }
    FacePtr face = openFace(*file_);
    if (!face) {
        return nullptr;
    }
    if (weightAxis_) {
        std::vector<FT_Fixed> coordinates = weightAxis_->defaults;
        coordinates[weightAxis_->index] = static_cast<FT_Fixed>(std::lround(key * 65536.0));
        if (FT_Set_Var_Design_Coordinates(face.get(), static_cast<FT_UInt>(coordinates.size()),
                                          coordinates.data()) != 0) {
            return nullptr;
        }
    }
    FontFacePtr cairoFace{cairo_ft_font_face_create_for_ft_face(face.get(), 0)};
    if (cairo_font_face_status(cairoFace.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    // The Cairo face owns the FreeType face from here on and frees it when Cairo is done.
    if (cairo_font_face_set_user_data(cairoFace.get(), &kFreetypeFaceKey, face.get(),
                                      releaseFace) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    face.release();
    cached = std::move(cairoFace);
    return cached.get();
}

ScaledFontPtr HudFontRecord::font(const HudFontRequest& request) const {
    // A file without a weight axis has no other weights to choose from: it is used as it is.
    if (file_) {
        if (ScaledFontPtr font = scaledFont(faceForWeight(request.variationWeight), request.size,
                                            hudFontOptions().get())) {
            return font;
        }
    }
    return fallbackFont(request);
}

ScaledFontPtr HudFontRecord::fallbackFont(const HudFontRequest& request) const {
    cairo_font_face_t* face = nullptr;
    {
        const std::lock_guard lock(mutex_);
        FontFacePtr& cached = fallbackFaces_[{request.monospaced, request.weight}];
        if (!cached) {
            FcPatternPtr pattern{FcPatternCreate()};
            FcPatternAddString(
                pattern.get(), FC_FAMILY,
                reinterpret_cast<const FcChar8*>(request.monospaced ? "monospace" : "sans-serif"));
            FcPatternAddInteger(pattern.get(), FC_WEIGHT, fontconfigWeight(request.weight));
            FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
            FcDefaultSubstitute(pattern.get());
            FcResult result = FcResultNoMatch;
            FcPatternPtr match{FcFontMatch(nullptr, pattern.get(), &result)};
            if (!match) {
                return nullptr;
            }
            FontFacePtr created{cairo_ft_font_face_create_for_pattern(match.get())};
            if (cairo_font_face_status(created.get()) != CAIRO_STATUS_SUCCESS) {
                return nullptr;
            }
            cached = std::move(created);
        }
        face = cached.get();
    }
    return scaledFont(face, request.size, hudFontOptions().get());
}

ScaledFontPtr hudFont(const HudFontRequest& request) {
    return HudFontRecord::process().font(request);
}

}  // namespace skelder
