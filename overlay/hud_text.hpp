#pragma once

// HUD text: a styled string becomes glyphs whose extent is the advance width by the font's
// line height (ascent + descent), placed by the extent's lower-left corner.

#include <memory>
#include <optional>
#include <string_view>

#include "overlay/geometry.hpp"
#include "overlay/hud_font.hpp"

namespace skelder {

class HudCanvas;

// Alignment inside the text's own extent; a single line looks the same with any of them.
enum class TextAlignment { left, right, centre };

struct HudTextStyle {
    HudFontRequest font;
    Rgba colour;
    TextAlignment alignment = TextAlignment::left;
};

struct TextExtent {
    double width = 0;
    double height = 0;
};

// The text-drawing step of the HUD. The renderer measures a text, works out its place from
// the extent and draws it; a text that cannot be measured is left out.
class HudTextPainter {
  public:
    virtual ~HudTextPainter() = default;
    virtual std::optional<TextExtent> measure(std::string_view text, const HudTextStyle& style) = 0;
    virtual void draw(HudCanvas& canvas, std::string_view text, const HudTextStyle& style,
                      Point lowerLeft) = 0;
    // The box the glyphs' outlines fill, relative to the lower-left corner of the extent
    // (y upwards); none when the painter cannot tell, and callers then allow a wide margin.
    virtual std::optional<Rect> inkBounds(std::string_view, const HudTextStyle&) {
        return std::nullopt;
    }
};

// Draws with the HUD font through Cairo. One per render worker: it caches fonts and glyphs.
std::unique_ptr<HudTextPainter> makeCairoTextPainter();

}  // namespace skelder
