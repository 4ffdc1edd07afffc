#include "samples/sample_picture.hpp"

#include <cairo.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include <fmt/format.h>

#include "samples/frame_code.hpp"
#include "samples/sample_error.hpp"
#include "samples/vehicle.hpp"

namespace skelder::samples {

namespace {

constexpr std::uint8_t kBlack = 16;
constexpr std::uint8_t kWhite = 235;
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

// --- The view from the driver's seat, drawn with Cairo ---------------------------------------

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};
struct ScalerDeleter {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// The drawing surface and the BGRA to limited-range BT.709 4:2:0 converter of one picture size,
// kept from frame to frame on each thread.
struct SceneCanvas {
    int width = 0;
    int height = 0;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
    std::unique_ptr<SwsContext, ScalerDeleter> scaler;
};

SceneCanvas& canvasFor(int width, int height) {
    thread_local SceneCanvas canvas;
    if (canvas.width == width && canvas.height == height)
        return canvas;
    canvas = {};
    canvas.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(canvas.surface.get()) != CAIRO_STATUS_SUCCESS)
        throw SampleWriteError("Could not create the picture's drawing surface");
    canvas.scaler.reset(sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height,
                                       AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr,
                                       nullptr, nullptr));
    if (!canvas.scaler)
        throw SampleWriteError("Could not create the picture's colour converter");
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    // Drawn in full-range RGB, stored as limited-range BT.709 like the muxer's colour tags say.
    sws_setColorspaceDetails(canvas.scaler.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    canvas.width = width;
    canvas.height = height;
    return canvas;
}

// A pinhole camera behind the windscreen: ground points (lateral metres to the right, metres
// ahead) to picture points.
struct Camera {
    double centreX = 0;
    double horizonY = 0;
    double focalPixels = 0;
    double eyeHeightMetres = 1.1;

    double x(double lateralMetres, double aheadMetres) const {
        return centreX + focalPixels * lateralMetres / aheadMetres;
    }
    double y(double aheadMetres) const {
        return horizonY + focalPixels * eyeHeightMetres / aheadMetres;
    }
    // The distance ahead a picture row shows.
    double aheadAt(double pictureY) const {
        return focalPixels * eyeHeightMetres / std::max(pictureY - horizonY, 1e-3);
    }
    // The farthest distance at which stripes `lengthMetres` long are still a pixel and a half
    // tall; farther ones would only flicker.
    double resolvableUntil(double lengthMetres) const {
        return std::sqrt(focalPixels * eyeHeightMetres * lengthMetres / 1.5);
    }
};

// The track ahead, taken as one circle of the curvature the steering holds now.
struct Track {
    double curvaturePerMetre = 0;
    double halfWidthMetres = 5.5;
    double kerbWidthMetres = 0.9;
    double lineWidthMetres = 0.2;

    double centre(double aheadMetres) const {
        return curvaturePerMetre * aheadMetres * aheadMetres / 2;
    }
};

constexpr double kKerbBlockMetres = 3;
constexpr double kGrassStripeMetres = 12;
constexpr double kFarthestMetres = 3000;

void setColour(cairo_t* cr, double r, double g, double b, double a = 1) {
    cairo_set_source_rgba(cr, r, g, b, a);
}

// The distances at which to draw a band from `near` to `far`: close together near the car,
// farther apart where the band is thin on the picture.
std::vector<double> samplesAhead(double near, double far) {
    std::vector<double> ahead;
    for (double z = near; z < far; z *= 1.06)
        ahead.push_back(z);
    ahead.push_back(far);
    return ahead;
}

// A strip of ground between two lateral offsets from the track's centre, from `near` to `far`,
// as one closed path.
void addStrip(cairo_t* cr, const Camera& camera, const Track& track, double fromMetres,
              double toMetres, double near, double far) {
    const std::vector<double> ahead = samplesAhead(near, far);
    for (std::size_t i = 0; i < ahead.size(); ++i) {
        const double z = ahead[i];
        const double px = camera.x(track.centre(z) + fromMetres, z);
        i == 0 ? cairo_move_to(cr, px, camera.y(z)) : cairo_line_to(cr, px, camera.y(z));
    }
    for (std::size_t i = ahead.size(); i-- > 0;) {
        const double z = ahead[i];
        cairo_line_to(cr, camera.x(track.centre(z) + toMetres, z), camera.y(z));
    }
    cairo_close_path(cr);
}

void paintSky(cairo_t* cr, double width, double horizonY, double seconds) {
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, horizonY);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.23, 0.45, 0.78);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.74, 0.84, 0.93);
    // Over the whole picture: nothing of an earlier picture on the reused surface shows through.
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    // A few soft clouds drifting slowly across.
    for (int i = 0; i < 4; ++i) {
        const double size = width * (0.09 + 0.03 * i);
        const double x =
            std::fmod(width * (0.15 + 0.29 * i) + seconds * width * 0.004, width + 2 * size) - size;
        const double y = horizonY * (0.18 + 0.11 * (i % 3));
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, 1, 0.28);
        cairo_pattern_t* puff = cairo_pattern_create_radial(0, 0, 0, 0, 0, size);
        cairo_pattern_add_color_stop_rgba(puff, 0, 1, 1, 1, 0.55);
        cairo_pattern_add_color_stop_rgba(puff, 1, 1, 1, 1, 0);
        cairo_set_source(cr, puff);
        cairo_arc(cr, 0, 0, size, 0, 2 * std::numbers::pi);
        cairo_fill(cr);
        cairo_pattern_destroy(puff);
        cairo_restore(cr);
    }
}

void paintHills(cairo_t* cr, double width, double horizonY, double height) {
    const double tau = 2 * std::numbers::pi;
    cairo_move_to(cr, 0, horizonY);
    for (int i = 0; i <= 64; ++i) {
        const double u = i / 64.0;
        const double rise =
            0.5 + 0.3 * std::sin(tau * (1.3 * u + 0.1)) + 0.2 * std::sin(tau * 3.7 * u);
        cairo_line_to(cr, u * width, horizonY - rise * height * 0.035);
    }
    cairo_line_to(cr, width, horizonY);
    cairo_close_path(cr);
    setColour(cr, 0.47, 0.58, 0.56);
    cairo_fill(cr);
    // The tree line in front of them.
    cairo_move_to(cr, 0, horizonY);
    for (int i = 0; i <= 160; ++i) {
        const double u = i / 160.0;
        const double rise = 0.55 + 0.45 * std::abs(std::sin(tau * 21 * u + std::sin(tau * 5 * u)));
        cairo_line_to(cr, u * width, horizonY - rise * height * 0.012);
    }
    cairo_line_to(cr, width, horizonY);
    cairo_close_path(cr);
    setColour(cr, 0.20, 0.33, 0.22);
    cairo_fill(cr);
}

void paintGround(cairo_t* cr, const Camera& camera, const Track& track, double width, double height,
                 double distanceMetres) {
    // Grass, lighter towards the haze, with mown stripes across it that run towards the car.
    cairo_pattern_t* grass = cairo_pattern_create_linear(0, camera.horizonY, 0, height);
    cairo_pattern_add_color_stop_rgb(grass, 0, 0.42, 0.55, 0.36);
    cairo_pattern_add_color_stop_rgb(grass, 1, 0.24, 0.47, 0.20);
    cairo_set_source(cr, grass);
    cairo_rectangle(cr, 0, camera.horizonY, width, height - camera.horizonY);
    cairo_fill(cr);
    cairo_pattern_destroy(grass);

    const double near = camera.aheadAt(height);
    const double far = camera.resolvableUntil(kGrassStripeMetres);
    const auto first =
        static_cast<long long>(std::floor((near + distanceMetres) / kGrassStripeMetres));
    for (long long n = first; n * kGrassStripeMetres - distanceMetres < far; ++n) {
        if (n % 2 != 0)
            continue;
        const double from = std::max(n * kGrassStripeMetres - distanceMetres, near);
        const double to = std::min((n + 1) * kGrassStripeMetres - distanceMetres, far);
        if (to <= from)
            continue;
        cairo_rectangle(cr, 0, camera.y(to), width, camera.y(from) - camera.y(to));
    }
    setColour(cr, 0.17, 0.36, 0.15, 0.35);
    cairo_fill(cr);

    // The asphalt, a little lighter far away, and its white edge lines.
    cairo_pattern_t* asphalt = cairo_pattern_create_linear(0, camera.horizonY, 0, height);
    cairo_pattern_add_color_stop_rgb(asphalt, 0, 0.50, 0.51, 0.53);
    cairo_pattern_add_color_stop_rgb(asphalt, 1, 0.24, 0.25, 0.27);
    cairo_set_source(cr, asphalt);
    addStrip(cr, camera, track, -track.halfWidthMetres, track.halfWidthMetres, near,
             kFarthestMetres);
    cairo_fill(cr);
    cairo_pattern_destroy(asphalt);
    const double line = track.lineWidthMetres;
    const double edge = track.halfWidthMetres - 0.35;
    addStrip(cr, camera, track, -edge - line, -edge, near, kFarthestMetres);
    addStrip(cr, camera, track, edge, edge + line, near, kFarthestMetres);
    setColour(cr, 0.93, 0.93, 0.90);
    cairo_fill(cr);
}

void paintKerbs(cairo_t* cr, const Camera& camera, const Track& track, double height,
                double distanceMetres) {
    const double near = camera.aheadAt(height);
    const double resolvable = camera.resolvableUntil(kKerbBlockMetres);
    const double inner = track.halfWidthMetres;
    const double outer = track.halfWidthMetres + track.kerbWidthMetres;
    // Far away the blocks blur into one pinkish band.
    addStrip(cr, camera, track, -outer, -inner, std::max(near, resolvable), kFarthestMetres);
    addStrip(cr, camera, track, inner, outer, std::max(near, resolvable), kFarthestMetres);
    setColour(cr, 0.86, 0.55, 0.52);
    cairo_fill(cr);
    if (resolvable <= near)
        return;
    // Red and white blocks, fixed to the ground, so they stream past as the car moves.
    for (const bool white : {false, true}) {
        const auto first =
            static_cast<long long>(std::floor((near + distanceMetres) / kKerbBlockMetres));
        for (long long n = first; n * kKerbBlockMetres - distanceMetres < resolvable; ++n) {
            if ((n % 2 != 0) != white)
                continue;
            const double from = std::max(n * kKerbBlockMetres - distanceMetres, near);
            const double to = std::min((n + 1) * kKerbBlockMetres - distanceMetres, resolvable);
            if (to <= from)
                continue;
            addStrip(cr, camera, track, -outer, -inner, from, to);
            addStrip(cr, camera, track, inner, outer, from, to);
        }
        white ? setColour(cr, 0.96, 0.96, 0.94) : setColour(cr, 0.82, 0.12, 0.10);
        cairo_fill(cr);
    }
}

// The car's bonnet at the bottom of the picture, under the HUD's lower band.
void paintBonnet(cairo_t* cr, double width, double height) {
    cairo_move_to(cr, -0.05 * width, height);
    cairo_curve_to(cr, 0.2 * width, 0.9 * height, 0.8 * width, 0.9 * height, 1.05 * width, height);
    cairo_close_path(cr);
    cairo_pattern_t* paint = cairo_pattern_create_linear(0, 0.9 * height, 0, height);
    cairo_pattern_add_color_stop_rgb(paint, 0, 0.30, 0.05, 0.06);
    cairo_pattern_add_color_stop_rgb(paint, 1, 0.12, 0.02, 0.03);
    cairo_set_source(cr, paint);
    cairo_fill(cr);
    cairo_pattern_destroy(paint);
}

void roundedRectangle(cairo_t* cr, double x0, double y0, double x1, double y1, double radius) {
    const double pi = std::numbers::pi;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - radius, y0 + radius, radius, -pi / 2, 0);
    cairo_arc(cr, x1 - radius, y1 - radius, radius, 0, pi / 2);
    cairo_arc(cr, x0 + radius, y1 - radius, radius, pi / 2, pi);
    cairo_arc(cr, x0 + radius, y0 + radius, radius, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

// Where the frame code and the clock go, each on its dark plate: the code as tight as it
// reads, between the HUD's top and bottom parts, and the clock small just under it. That
// band stays clear of the HUD whatever the picture's shape: in a portrait picture the HUD's
// top row (speed, gear, pedals) spans nearly the whole width, so a corner is no place for it.
struct PlateLayout {
    FrameCodeLayout code;
    int left = 0, top = 0, right = 0, bottom = 0;
    int clockLeft = 0;
    int clockTop = 0;
    int clockHeight = 0;
    int clockPadding = 0;
};

PlateLayout plateLayout(int width, int height) {
    PlateLayout plate;
    plate.code = frameCodeLayout(width, height);
    const int cell = std::max(plate.code.cellSize, 4);
    const int padding = std::max(2, cell / 5);
    plate.left = plate.code.left - padding;
    plate.right = plate.code.left + kFrameCodeColumns * cell + padding;
    plate.top = plate.code.top - padding;
    plate.bottom = plate.code.bottom() + padding;
    plate.clockHeight = std::max(8, height * 4 / 100);
    plate.clockPadding = std::max(2, plate.clockHeight / 3);
    plate.clockLeft = plate.left + plate.clockPadding;
    plate.clockTop = plate.bottom + padding + plate.clockPadding;
    return plate;
}

std::string clockText(const PictureContent& content) {
    return content.elapsedText + "  #" + std::to_string(content.frameNumber);
}

void paintScene(const PictureContent& content, const PlateLayout& plate, cairo_t* cr, int width,
                int height) {
    const double w = width;
    const double h = height;
    Camera camera;
    camera.centreX = w / 2;
    // The horizon just below the plates, so the road runs out of sight beneath them.
    const int platesBottom = plate.clockTop + plate.clockHeight + plate.clockPadding;
    camera.horizonY = std::clamp(platesBottom + 0.015 * h, 0.5 * h, 0.66 * h);
    camera.focalPixels = 0.85 * std::max(w, h * 16 / 9.0) * (w < h ? 0.6 : 1.0);
    const VehicleModel vehicle;
    Track track;
    // The curvature the steering wheel holds: the road ahead bends the same way.
    track.curvaturePerMetre =
        std::tan(content.steeringAngleRadians / vehicle.steeringRatio) / vehicle.wheelbaseMetres;

    paintSky(cr, w, camera.horizonY, content.seconds);
    paintHills(cr, w, camera.horizonY, h);
    paintGround(cr, camera, track, w, h, content.distanceMetres);
    paintKerbs(cr, camera, track, h, content.distanceMetres);
    paintBonnet(cr, w, h);

    // The plates the code and the clock sit on: opaque and neutral grey, so the white digits
    // stay white.
    roundedRectangle(cr, plate.left, plate.top, plate.right, plate.bottom,
                     std::max(2, plate.code.cellSize / 4));
    const int clockWidth = segmentTextWidth(clockText(content), plate.clockHeight);
    roundedRectangle(cr, plate.clockLeft - plate.clockPadding, plate.clockTop - plate.clockPadding,
                     plate.clockLeft + clockWidth + plate.clockPadding,
                     plate.clockTop + plate.clockHeight + plate.clockPadding, plate.clockPadding);
    setColour(cr, 0.13, 0.13, 0.13);
    cairo_fill(cr);
}

// Draws the scene and stores it in the picture's planes.
void paintBackground(const PictureContent& content, const PlateLayout& plate, YuvPicture& picture) {
    const int width = picture.y.width;
    const int height = picture.y.height;
    SceneCanvas& canvas = canvasFor(width, height);
    cairo_surface_t* surface = canvas.surface.get();
    {
        const std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface));
        cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_GOOD);
        paintScene(content, plate, cr.get(), width, height);
    }
    cairo_surface_flush(surface);
    const std::uint8_t* source[] = {cairo_image_surface_get_data(surface)};
    const int sourceStride[] = {cairo_image_surface_get_stride(surface)};
    std::uint8_t* planes[] = {picture.y.data, picture.u.data, picture.v.data};
    const int strides[] = {picture.y.stride, picture.u.stride, picture.v.stride};
    sws_scale(canvas.scaler.get(), source, sourceStride, 0, height, planes, strides);
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

SamplePlates samplePlates(int width, int height, std::string_view clock) {
    const PlateLayout plate = plateLayout(width, height);
    const int clockWidth = segmentTextWidth(clock, plate.clockHeight);
    return {{plate.left, plate.top, plate.right, plate.bottom},
            {plate.clockLeft - plate.clockPadding, plate.clockTop - plate.clockPadding,
             plate.clockLeft + clockWidth + plate.clockPadding,
             plate.clockTop + plate.clockHeight + plate.clockPadding}};
}

void paintSamplePicture(const PictureContent& content, YuvPicture& picture) {
    const PlateLayout plate = plateLayout(picture.y.width, picture.y.height);
    paintBackground(content, plate, picture);
    // The code and the digits go straight into the planes, exact black and white.
    paintFrameCode(picture, content.frameNumber);
    drawSegmentText(picture, clockText(content), plate.clockLeft, plate.clockTop,
                    plate.clockHeight);
}

}  // namespace skelder::samples
