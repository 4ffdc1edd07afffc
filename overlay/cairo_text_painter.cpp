#include <array>
#include <vector>

#include "overlay/hud_canvas.hpp"
#include "overlay/hud_text.hpp"

namespace skelder {
namespace {

constexpr char32_t kDegreeSign = 0x00b0;

// One font with the glyphs of the characters the HUD prints, looked up once.
class CachedFont {
  public:
    CachedFont(const HudFontRequest& request, ScaledFontPtr font)
        : request_(request), font_(std::move(font)) {
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(font_.get(), &extents);
        ascent_ = extents.ascent;
        descent_ = extents.descent;
    }

    const HudFontRequest& request() const { return request_; }
    cairo_scaled_font_t* font() const { return font_.get(); }
    double descent() const { return descent_; }
    double lineHeight() const { return ascent_ + descent_; }

    // Glyphs from x = 0 on the baseline y = 0; returns the advance width.
    double layout(std::string_view text, std::vector<cairo_glyph_t>& glyphs) {
        glyphs.clear();
        double x = 0;
        for (std::size_t i = 0; i < text.size();) {
            const auto [character, length] = decodeTableCharacter(text, i);
            if (length == 0) {
                return layoutAnyText(text, glyphs);
            }
            const Glyph& glyph = glyphFor(character);
            glyphs.push_back({glyph.index, x, 0});
            x += glyph.advance;
            i += length;
        }
        return x;
    }

  private:
    struct Glyph {
        unsigned long index = 0;
        double advance = 0;
        bool known = false;
    };
    // Printable ASCII plus the degree sign.
    static constexpr std::size_t kTableSize = 96;

    static std::size_t tableSlot(char32_t character) {
        return character == kDegreeSign ? kTableSize - 1 : character - 0x20;
    }

    // A character of the table at byte i and its UTF-8 length; length 0 for anything else.
    static std::pair<char32_t, std::size_t> decodeTableCharacter(std::string_view text,
                                                                 std::size_t i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            return {byte, 1};
        }
        if (byte == 0xc2 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == 0xb0) {
            return {kDegreeSign, 2};
        }
        return {0, 0};
    }

    const Glyph& glyphFor(char32_t character) {
        Glyph& glyph = table_[tableSlot(character)];
        if (!glyph.known) {
            char utf8[3] = {};
            if (character == kDegreeSign) {
                utf8[0] = static_cast<char>(0xc2);
                utf8[1] = static_cast<char>(0xb0);
            } else {
                utf8[0] = static_cast<char>(character);
            }
            std::vector<cairo_glyph_t> single;
            glyph.advance = layoutAnyText(utf8, single);
            glyph.index = single.empty() ? 0 : single.front().index;
            glyph.known = true;
        }
        return glyph;
    }

    double layoutAnyText(std::string_view text, std::vector<cairo_glyph_t>& glyphs) const {
        glyphs.clear();
        cairo_glyph_t* converted = nullptr;
        int count = 0;
        if (cairo_scaled_font_text_to_glyphs(font_.get(), 0, 0, text.data(),
                                             static_cast<int>(text.size()), &converted, &count,
                                             nullptr, nullptr, nullptr) != CAIRO_STATUS_SUCCESS) {
            return 0;
        }
        glyphs.assign(converted, converted + count);
        cairo_text_extents_t extents;
        cairo_scaled_font_glyph_extents(font_.get(), converted, count, &extents);
        cairo_glyph_free(converted);
        return extents.x_advance;
    }

    HudFontRequest request_;
    ScaledFontPtr font_;
    double ascent_ = 0;
    double descent_ = 0;
    std::array<Glyph, kTableSize> table_{};
};

class CairoTextPainter final : public HudTextPainter {
  public:
    std::optional<TextExtent> measure(std::string_view text, const HudTextStyle& style) override {
        CachedFont* font = fontFor(style.font);
        if (font == nullptr) {
            return std::nullopt;
        }
        return TextExtent{font->layout(text, glyphs_), font->lineHeight()};
    }

    void draw(HudCanvas& canvas, std::string_view text, const HudTextStyle& style,
              Point lowerLeft) override {
        CachedFont* font = fontFor(style.font);
        if (font == nullptr) {
            return;
        }
        font->layout(text, glyphs_);
        const double originX = canvas.deviceX(lowerLeft.x);
        const double baselineY = canvas.deviceY(lowerLeft.y + font->descent());
        for (cairo_glyph_t& glyph : glyphs_) {
            glyph.x += originX;
            glyph.y += baselineY;
        }
        cairo_t* cr = canvas.cairo();
        cairo_set_scaled_font(cr, font->font());
        cairo_set_source_rgba(cr, style.colour.r, style.colour.g, style.colour.b, style.colour.a);
        cairo_show_glyphs(cr, glyphs_.data(), static_cast<int>(glyphs_.size()));
    }

    std::optional<Rect> inkBounds(std::string_view text, const HudTextStyle& style) override {
        CachedFont* font = fontFor(style.font);
        if (font == nullptr) {
            return std::nullopt;
        }
        font->layout(text, glyphs_);
        cairo_text_extents_t ink;
        cairo_scaled_font_glyph_extents(font->font(), glyphs_.data(),
                                        static_cast<int>(glyphs_.size()), &ink);
        // Cairo's bearings run from the origin on the baseline with y downwards; the baseline
        // sits the descent above the extent's lower edge.
        return Rect{ink.x_bearing, font->descent() - ink.y_bearing - ink.height, ink.width,
                    ink.height};
    }

  private:
    CachedFont* fontFor(const HudFontRequest& request) {
        for (CachedFont& font : fonts_) {
            if (font.request() == request) {
                return &font;
            }
        }
        ScaledFontPtr font = hudFont(request);
        if (!font) {
            return nullptr;
        }
        if (fonts_.size() >= kMaxCachedFonts) {
            fonts_.clear();  // the frame size changed many times: start over
        }
        return &fonts_.emplace_back(request, std::move(font));
    }

    // A job uses about a dozen fonts (one per text style at its frame size).
    static constexpr std::size_t kMaxCachedFonts = 64;
    std::vector<CachedFont> fonts_;
    std::vector<cairo_glyph_t> glyphs_;
};

}  // namespace

std::unique_ptr<HudTextPainter> makeCairoTextPainter() {
    return std::make_unique<CairoTextPainter>();
}

}  // namespace skelder
