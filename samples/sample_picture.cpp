#include "samples/sample_picture.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include <fmt/format.h>

#include "samples/frame_code.hpp"

namespace skelder::samples {

namespace {

constexpr std::uint8_t kBlack = 16;
constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kPlate = 28;
constexpr std::uint8_t kNeutralChroma = 128;

void fillRect(Plane& plane, int x0, int y0, int x1, int y1, std::uint8_t value) {
    x0 = std::clamp(x0, 0, plane.width);
    x1 = std::clamp(x1, 0, plane.width);
    y0 = std::clamp(y0, 0, plane.height);
    y1 = std::clamp(y1, 0, plane.height);
    for (int y = y0; y < y1; ++y) {
        std::fill_n(plane.data + static_cast<std::ptrdiff_t>(y) * plane.stride + x0,
                    std::max(0, x1 - x0), value);
    }
}

// A grey rectangle: luma as given, chroma neutral (chroma rounded outwards).
void fillGrey(YuvPicture& picture, int x0, int y0, int x1, int y1, std::uint8_t luma) {
    fillRect(picture.y, x0, y0, x1, y1, luma);
    fillRect(picture.u, x0 / 2, y0 / 2, (x1 + 1) / 2, (y1 + 1) / 2, kNeutralChroma);
    fillRect(picture.v, x0 / 2, y0 / 2, (x1 + 1) / 2, (y1 + 1) / 2, kNeutralChroma);
}

// Segments a..g of each digit: top, upper right, lower right, bottom, lower left, upper left,
// middle.
constexpr std::array<std::uint8_t, 10> kDigitSegments = {
    0b0111111, 0b0000110, 0b1011011, 0b1001111, 0b1100110,
    0b1101101, 0b1111101, 0b0000111, 0b1111111, 0b1101111,
};

struct GlyphMetrics {
    int digitWidth;
    int stroke;
    int gap;
};

GlyphMetrics metricsFor(int height) {
    return {std::max(3, height / 2), std::max(1, height / 9), std::max(1, height / 5)};
}

int glyphWidth(char c, const GlyphMetrics& m) {
    if (c == ':' || c == '.') {
        return 2 * m.stroke;
    }
    return m.digitWidth;
}

void drawGlyph(Plane& luma, char c, int x, int y, int height, const GlyphMetrics& m) {
    const int w = m.digitWidth;
    const int t = m.stroke;
    const int mid = y + height / 2;
    if (c >= '0' && c <= '9') {
        const std::uint8_t segments = kDigitSegments[static_cast<std::size_t>(c - '0')];
        const std::array<std::array<int, 4>, 7> rects = {{
            {x + t, y, x + w - t, y + t},                      // a
            {x + w - t, y + t, x + w, mid},                    // b
            {x + w - t, mid, x + w, y + height - t},           // c
            {x + t, y + height - t, x + w - t, y + height},    // d
            {x, mid, x + t, y + height - t},                   // e
            {x, y + t, x + t, mid},                            // f
            {x + t, mid - t / 2, x + w - t, mid - t / 2 + t},  // g
        }};
        for (std::size_t s = 0; s < rects.size(); ++s) {
            if (segments & (1u << s)) {
                const auto& r = rects[s];
                fillRect(luma, r[0], r[1], r[2], r[3], kWhite);
            }
        }
    } else if (c == ':') {
        fillRect(luma, x, y + height / 3 - t, x + 2 * t, y + height / 3 + t, kWhite);
        fillRect(luma, x, y + 2 * height / 3 - t, x + 2 * t, y + 2 * height / 3 + t, kWhite);
    } else if (c == '.') {
        fillRect(luma, x, y + height - 2 * t, x + 2 * t, y + height, kWhite);
    } else if (c == '#') {
        fillRect(luma, x + w / 3 - t / 2, y + height / 6, x + w / 3 - t / 2 + t, y + 5 * height / 6,
                 kWhite);
        fillRect(luma, x + 2 * w / 3 - t / 2, y + height / 6, x + 2 * w / 3 - t / 2 + t,
                 y + 5 * height / 6, kWhite);
        fillRect(luma, x, y + 2 * height / 5 - t / 2, x + w, y + 2 * height / 5 - t / 2 + t,
                 kWhite);
        fillRect(luma, x, y + 3 * height / 5 - t / 2, x + w, y + 3 * height / 5 - t / 2 + t,
                 kWhite);
    }
}

// Per-frame tables of the gradient: luma and chroma are sums of a column term and a row term,
// which keeps a 1080p picture at a few milliseconds.
void paintBackground(YuvPicture& picture, double seconds, double distanceMetres) {
    const int width = picture.y.width;
    const int height = picture.y.height;
    const double tau = 2 * std::numbers::pi;
    const double scroll = distanceMetres / 40.0;  // one stripe period per 40 m driven
    const double drift = seconds / 20.0;

    std::vector<int> columnLuma(static_cast<std::size_t>(width));
    std::vector<int> rowLuma(static_cast<std::size_t>(height));
    for (int x = 0; x < width; ++x) {
        const double u = static_cast<double>(x) / width;
        columnLuma[static_cast<std::size_t>(x)] =
            static_cast<int>(45 + 40 * (0.5 + 0.5 * std::sin(tau * (u + drift))));
    }
    for (int y = 0; y < height; ++y) {
        const double v = static_cast<double>(y) / height;
        // Stripes that run down the picture as the car moves, like a road passing underneath.
        rowLuma[static_cast<std::size_t>(y)] =
            static_cast<int>(30 + 60 * (0.5 + 0.5 * std::sin(tau * (3 * v - scroll))));
    }
    // The sums stay within 75..175, so no clamping; raw pointers keep unoptimised test builds
    // quick.
    const int* columns = columnLuma.data();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.y.data + static_cast<std::ptrdiff_t>(y) * picture.y.stride;
        const int r = rowLuma[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            row[x] = static_cast<std::uint8_t>(columns[x] + r);
        }
    }

    const int chromaWidth = picture.u.width;
    const int chromaHeight = picture.u.height;
    std::vector<int> columnU(static_cast<std::size_t>(chromaWidth));
    std::vector<int> columnV(static_cast<std::size_t>(chromaWidth));
    std::vector<int> rowU(static_cast<std::size_t>(chromaHeight));
    std::vector<int> rowV(static_cast<std::size_t>(chromaHeight));
    for (int x = 0; x < chromaWidth; ++x) {
        const double u = static_cast<double>(x) / chromaWidth;
        columnU[static_cast<std::size_t>(x)] = static_cast<int>(30 * std::sin(tau * (u + drift)));
        columnV[static_cast<std::size_t>(x)] =
            static_cast<int>(25 * std::cos(tau * (0.5 * u - 0.7 * drift)));
    }
    for (int y = 0; y < chromaHeight; ++y) {
        const double v = static_cast<double>(y) / chromaHeight;
        rowU[static_cast<std::size_t>(y)] =
            static_cast<int>(20 * std::cos(tau * (v + 1.3 * drift)));
        rowV[static_cast<std::size_t>(y)] = static_cast<int>(25 * std::sin(tau * (v - drift)));
    }
    const int* uColumns = columnU.data();
    const int* vColumns = columnV.data();
    for (int y = 0; y < chromaHeight; ++y) {
        std::uint8_t* u = picture.u.data + static_cast<std::ptrdiff_t>(y) * picture.u.stride;
        std::uint8_t* v = picture.v.data + static_cast<std::ptrdiff_t>(y) * picture.v.stride;
        const int uRow = 128 + rowU[static_cast<std::size_t>(y)];
        const int vRow = 128 + rowV[static_cast<std::size_t>(y)];
        for (int x = 0; x < chromaWidth; ++x) {
            u[x] = static_cast<std::uint8_t>(uColumns[x] + uRow);
            v[x] = static_cast<std::uint8_t>(vColumns[x] + vRow);
        }
    }
}

void paintFrameCode(YuvPicture& picture, std::int64_t frameNumber) {
    const FrameCodeLayout layout = frameCodeLayout(picture.y.width, picture.y.height);
    if (!layout.fits()) {
        return;
    }
    const auto cells = frameCodeCells(frameNumber);
    for (int row = 0; row < kFrameCodeRows; ++row) {
        for (int column = 0; column < kFrameCodeColumns; ++column) {
            const int x = layout.left + column * layout.cellSize;
            const int y = layout.top + row * layout.cellSize;
            const bool white = cells[static_cast<std::size_t>(row * kFrameCodeColumns + column)];
            fillGrey(picture, x, y, x + layout.cellSize, y + layout.cellSize,
                     white ? kWhite : kBlack);
        }
    }
}

// Draws a centred line of text with its plate; returns the plate's bottom.
int drawCentredLine(YuvPicture& picture, std::string_view text, int top, int height) {
    const int width = segmentTextWidth(text, height);
    const int padding = std::max(2, height / 6);
    const int left = (picture.y.width - width) / 2;
    fillGrey(picture, left - padding, top - padding, left + width + padding, top + height + padding,
             kPlate);
    drawSegmentText(picture, text, left, top, height);
    return top + height + padding;
}

}  // namespace

std::string elapsedText(std::int64_t frameNumber, int rateNumerator, int rateDenominator) {
    const std::int64_t milliseconds =
        frameNumber * 1000 * rateDenominator / std::max(1, rateNumerator);
    return fmt::format("{:02}:{:02}.{:03}", milliseconds / 60000, milliseconds / 1000 % 60,
                       milliseconds % 1000);
}

int segmentTextWidth(std::string_view text, int height) {
    const GlyphMetrics m = metricsFor(height);
    int width = 0;
    for (char c : text) {
        width += glyphWidth(c, m) + m.gap;
    }
    return text.empty() ? 0 : width - m.gap;
}

int drawSegmentText(YuvPicture& picture, std::string_view text, int left, int top, int height) {
    const GlyphMetrics m = metricsFor(height);
    int x = left;
    for (char c : text) {
        drawGlyph(picture.y, c, x, top, height, m);
        x += glyphWidth(c, m) + m.gap;
    }
    return x - left - (text.empty() ? 0 : m.gap);
}

void paintSamplePicture(const PictureContent& content, YuvPicture& picture) {
    paintBackground(picture, content.seconds, content.distanceMetres);
    paintFrameCode(picture, content.frameNumber);

    const int width = picture.y.width;
    const int height = picture.y.height;
    const FrameCodeLayout layout = frameCodeLayout(width, height);
    // The time line is as large as fits in 90% of the width and a sixth of the height; with
    // the frame number below it, it stays clear of the HUD's bottom fifth.
    const int referenceWidth = segmentTextWidth("00:00.000", 100);
    const int timeHeight =
        std::max(8, std::min(height / 6, static_cast<int>(0.9 * width * 100 / referenceWidth)));
    const int timeTop = layout.bottom() + std::max(4, layout.cellSize / 2) + timeHeight / 6;
    const int timeBottom = drawCentredLine(picture, content.elapsedText, timeTop, timeHeight);
    const int numberHeight = std::max(8, timeHeight * 6 / 10);
    drawCentredLine(picture, "#" + std::to_string(content.frameNumber),
                    timeBottom + numberHeight / 3, numberHeight);
}

}  // namespace skelder::samples
