#pragma once

// Owning handles for the Cairo, FreeType and fontconfig objects the HUD uses.

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>

namespace skelder {

template <typename T, auto Release>
struct HandleDeleter {
    void operator()(T* handle) const noexcept { Release(handle); }
};

using CairoPtr = std::unique_ptr<cairo_t, HandleDeleter<cairo_t, cairo_destroy>>;
using SurfacePtr =
    std::unique_ptr<cairo_surface_t, HandleDeleter<cairo_surface_t, cairo_surface_destroy>>;
using ScaledFontPtr =
    std::unique_ptr<cairo_scaled_font_t,
                    HandleDeleter<cairo_scaled_font_t, cairo_scaled_font_destroy>>;
using FontFacePtr =
    std::unique_ptr<cairo_font_face_t, HandleDeleter<cairo_font_face_t, cairo_font_face_destroy>>;
using FontOptionsPtr =
    std::unique_ptr<cairo_font_options_t,
                    HandleDeleter<cairo_font_options_t, cairo_font_options_destroy>>;
using FcPatternPtr = std::unique_ptr<FcPattern, HandleDeleter<FcPattern, FcPatternDestroy>>;

struct FtLibraryDeleter {
    void operator()(FT_Library library) const noexcept { FT_Done_FreeType(library); }
};
using FtLibraryPtr = std::unique_ptr<FT_LibraryRec_, FtLibraryDeleter>;

}  // namespace skelder
