#pragma once

// Helpers for HUD tests: frames to draw on, colour expectations for source-over, a text
// painter that records what the renderer writes, and pixel searches in frame coordinates.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "overlay/bgra_image.hpp"
#include "overlay/geometry.hpp"
#include "overlay/hud_canvas.hpp"
#include "overlay/hud_text.hpp"

namespace skelder::testing {

inline constexpr BgraPixel kGrey{128, 128, 128, 255};

inline BgraImage filledFrame(int width, int height, BgraPixel colour = kGrey) {
    auto frame = BgraImage::create(width, height);
    EXPECT_TRUE(frame.has_value());
    frame->fill(colour);
    return std::move(*frame);
}

// `colour` composited source-over onto an opaque pixel.
inline BgraPixel over(BgraPixel below, const Rgba& colour) {
    const auto channel = [&](double c, std::uint8_t d) {
        return static_cast<std::uint8_t>(std::lround(c * colour.a * 255 + d * (1 - colour.a)));
    };
    return {channel(colour.b, below.b), channel(colour.g, below.g), channel(colour.r, below.r),
            below.a};
}

inline ::testing::AssertionResult pixelNear(BgraPixel actual, BgraPixel expected,
                                            int tolerance = 2) {
    const auto off = [&](int a, int e) { return std::abs(a - e) > tolerance; };
    if (off(actual.b, expected.b) || off(actual.g, expected.g) || off(actual.r, expected.r) ||
        off(actual.a, expected.a)) {
        return ::testing::AssertionFailure()
               << "pixel (r" << int(actual.r) << " g" << int(actual.g) << " b" << int(actual.b)
               << " a" << int(actual.a) << ") expected (r" << int(expected.r) << " g"
               << int(expected.g) << " b" << int(expected.b) << " a" << int(expected.a) << ")";
    }
    return ::testing::AssertionSuccess();
}

// The pixel under a frame point (x to the right, y upwards from the lower-left corner).
inline BgraPixel pixelUnder(const BgraImage& image, double x, double y) {
    return image.pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

inline Point centreOf(const Rect& rect) {
    return {rect.x + rect.width / 2, rect.y + rect.height / 2};
}

inline int difference(BgraPixel a, BgraPixel b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// Within a frame rectangle: how many pixels differ from `background`, and the one that
// differs most (the most inked pixel of a text, for example).
struct InkSummary {
    int changedPixels = 0;
    BgraPixel strongest = {};
    int strongestDifference = 0;
    int lowestInkedRow = 1 << 30;  // frame y of the lowest changed pixel
    int highestInkedRow = -1;
};

inline InkSummary inkWithin(const BgraImage& image, const Rect& area, BgraPixel background) {
    InkSummary ink;
    const int x0 = std::max(0, static_cast<int>(std::floor(area.x)));
    const int x1 = std::min(image.width(), static_cast<int>(std::ceil(area.right())));
    const int y0 = std::max(0, static_cast<int>(std::floor(area.y)));
    const int y1 = std::min(image.height(), static_cast<int>(std::ceil(area.top())));
    cairo_surface_flush(image.surface());
    const BgraFrame view{const_cast<std::uint8_t*>(image.data()), image.width(), image.height(),
                         image.stride()};
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const BgraPixel p = pixelAt(view, x, y);
            const int d = difference(p, background);
            if (d == 0)
                continue;
            ++ink.changedPixels;
            ink.lowestInkedRow = std::min(ink.lowestInkedRow, y);
            ink.highestInkedRow = std::max(ink.highestInkedRow, y);
            if (d > ink.strongestDifference) {
                ink.strongestDifference = d;
                ink.strongest = p;
            }
        }
    }
    return ink;
}

// Whether every byte of a frame rectangle equals the same bytes of a reference image.
inline bool sameBytesWithin(const BgraImage& image, const BgraImage& reference, const Rect& area) {
    cairo_surface_flush(image.surface());
    cairo_surface_flush(reference.surface());
    const int x0 = static_cast<int>(area.x);
    const auto bytes = static_cast<std::size_t>(static_cast<int>(area.right()) - x0) * 4;
    for (int y = static_cast<int>(area.y); y < static_cast<int>(area.top()); ++y) {
        const auto row = [&](const BgraImage& i) {
            return i.data() + static_cast<std::ptrdiff_t>(i.height() - 1 - y) * i.stride() + x0 * 4;
        };
        if (std::memcmp(row(image), row(reference), bytes) != 0)
            return false;
    }
    return true;
}

// Draws through the HUD's Cairo text painter and remembers every text drawn and where.
class RecordingTextPainter final : public HudTextPainter {
  public:
    struct Entry {
        std::string text;
        HudTextStyle style;
        Point lowerLeft;
        TextExtent extent;

        Rect box() const { return {lowerLeft.x, lowerLeft.y, extent.width, extent.height}; }
    };

    explicit RecordingTextPainter(std::vector<Entry>& entries)
        : entries_(entries), inner_(makeCairoTextPainter()) {}

    std::optional<TextExtent> measure(std::string_view text, const HudTextStyle& style) override {
        return inner_->measure(text, style);
    }

    void draw(HudCanvas& canvas, std::string_view text, const HudTextStyle& style,
              Point lowerLeft) override {
        const auto extent = inner_->measure(text, style);
        entries_.push_back({std::string(text), style, lowerLeft, extent.value_or(TextExtent{})});
        inner_->draw(canvas, text, style, lowerLeft);
    }

    std::optional<Rect> inkBounds(std::string_view text, const HudTextStyle& style) override {
        return inner_->inkBounds(text, style);
    }

  private:
    std::vector<Entry>& entries_;
    std::unique_ptr<HudTextPainter> inner_;
};

using TextEntries = std::vector<RecordingTextPainter::Entry>;

inline const RecordingTextPainter::Entry* findText(const TextEntries& entries,
                                                   const std::string& text) {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const auto& entry) { return entry.text == text; });
    return found == entries.end() ? nullptr : &*found;
}

// The last entry with this text: the visible one when a shadow is drawn first.
inline const RecordingTextPainter::Entry* findLastText(const TextEntries& entries,
                                                       const std::string& text) {
    const auto found = std::find_if(entries.rbegin(), entries.rend(),
                                    [&](const auto& entry) { return entry.text == text; });
    return found == entries.rend() ? nullptr : &*found;
}

}  // namespace skelder::testing
