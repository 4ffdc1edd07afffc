#pragma once

// The HUD font: the variable font "OverpassMono-VariableFont_wght" shipped in the resource
// folder "Fonts", opened once per process; a system font stands in when it is missing.

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "overlay/cairo_handles.hpp"

namespace skelder {

enum class HudFontWeight { regular, medium, semibold, bold };

// The arguments of hudFont: the fallback face, size in pixels, the weight of the fallback
// face and the value for the font's weight axis (100...900 scale).
struct HudFontRequest {
    bool monospaced = false;
    double size = 12;
    HudFontWeight weight = HudFontWeight::regular;
    double variationWeight = 400;

    friend bool operator==(const HudFontRequest&, const HudFontRequest&) = default;
};

inline constexpr const char* kHudFontFileName = "OverpassMono-VariableFont_wght.ttf";

// The font file: in $SKELDER_FONTS_DIR, then in the installed resources next to the executable
// (<prefix>/share/skelder/Fonts, then <prefix>/share/skelder), then in the source tree.
std::optional<std::filesystem::path> findHudFontFile();

// The HUD font file, loaded once per process, and the system fonts standing in for it.
// Safe to use from several threads.
class HudFontRecord {
  public:
    // Opens the file; a missing or unreadable file leaves the record without a face, so every
    // font comes from the system fallback.
    static std::unique_ptr<const HudFontRecord> load(
        const std::optional<std::filesystem::path>& file);

    // The record of findHudFontFile(), made on first use.
    static const HudFontRecord& process();

    bool hasFace() const { return file_.has_value(); }
    const std::string& fontName() const { return fontName_; }
    // The tag of the first axis whose name contains "weight", e.g. "wght".
    std::optional<std::string> weightAxisTag() const;

    // A font for the request, or null when not even the fallback opens.
    ScaledFontPtr font(const HudFontRequest& request) const;

  private:
    struct WeightAxis {
        std::string tag;
        unsigned index = 0;
        unsigned axisCount = 0;
        double minimum = 0;
        double maximum = 0;
        std::vector<FT_Fixed> defaults;  // every axis's default, in axis order
    };

    HudFontRecord() = default;
    cairo_font_face_t* faceForWeight(double variationWeight) const;
    ScaledFontPtr fallbackFont(const HudFontRequest& request) const;

    std::optional<std::filesystem::path> file_;
    std::string fontName_;
    std::optional<WeightAxis> weightAxis_;
    mutable std::mutex mutex_;
    // One face per weight: the axis value is fixed when a face is opened, so no drawing ever
    // switches it. A file without a weight axis has a single face under key 0.
    mutable std::map<double, FontFacePtr> faces_;
    mutable std::map<std::pair<bool, HudFontWeight>, FontFacePtr> fallbackFaces_;
};

// hudFont of the process's HUD font record.
ScaledFontPtr hudFont(const HudFontRequest& request);

}  // namespace skelder
