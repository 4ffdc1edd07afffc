#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <thread>

#include "overlay/overlay_renderer.hpp"
#include "tests/overlay/hud_test_support.hpp"

namespace skelder {
namespace {

using testing::filledFrame;
using testing::findText;
using testing::inkWithin;
using testing::kGrey;
using testing::over;
using testing::pixelNear;
using testing::pixelUnder;
using testing::RecordingTextPainter;
using testing::TextEntries;

constexpr Rgba kBrakeBackground{0.4, 0.1, 0.1, 0.35};
constexpr Rgba kThrottleBackground{0.1, 0.4, 0.1, 0.35};
constexpr Rgba kBrakeLit{0.95, 0.18, 0.12, 1};
constexpr Rgba kThrottleLit{0.12, 0.85, 0.25, 1};

OverlayRenderSample sampleOf(OverlayTelemetrySample telemetry) {
    const double total = std::hypot(telemetry.latG, telemetry.lonG);
    return {telemetry, {{telemetry.latG, telemetry.lonG}}, total, total};
}

OverlayTelemetrySample cruising() {
    return {.speedMps = 26.8224, .throttle = 0.5, .rpm = 3500, .gear = 3, .steeringDeg = 12.4};
}

// One static layer per frame size for the whole test program: made once, like a job does.
std::shared_ptr<const StaticHUD> staticLayerOfSize(int width, int height) {
    static std::map<std::pair<int, int>, std::shared_ptr<const StaticHUD>> layers;
    auto& layer = layers[{width, height}];
    if (!layer)
        layer = OverlayRenderer::makeStaticHUD(width, height);
    return layer;
}

// Layout quantities written out from their definitions, independent of the renderer.
struct Expected {
    double W, H, s, m, R, T;
    explicit Expected(double width, double height, double scale)
        : W(width),
          H(height),
          s(scale),
          m(26 * scale),
          R(width - 26 * scale),
          T(height - 26 * scale - 170 * scale) {}
    Rect throttleCell(int row) const {
        return {R - 256 * s, T + 52 * s + 20 * s * row, 90 * s, 14 * s};
    }
    Rect brakeCell(int row) const {
        return {R - 358 * s, T + 52 * s + 20 * s * row, 90 * s, 14 * s};
    }
    Rect steeringBox() const { return {R - 230 * s, m + 43 * s, 230 * s, 132 * s}; }
};

struct Drawn {
    BgraImage frame;
    TextEntries texts;
};

enum class Layer { fitting, none };

Drawn drawFrame(int width, int height, const OverlayRenderSample& sample,
                const std::optional<OverlayFrameDebugInfo>& debug = std::nullopt,
                Layer layer = Layer::fitting) {
    Drawn drawn{filledFrame(width, height), {}};
    OverlayRenderContext context(std::make_unique<RecordingTextPainter>(drawn.texts));
    const auto staticHUD = staticLayerOfSize(width, height);
    const bool drew =
        OverlayRenderer::drawOverlay(context, drawn.frame.frame(), sample, debug,
                                     layer == Layer::fitting ? staticHUD.get() : nullptr);
    EXPECT_TRUE(drew);
    return drawn;
}

// Pixels no longer grey outside the boxes the renderer said it touched (-1: a box leaves the
// frame, or nothing changed at all).
std::int64_t changedOutside(const BgraImage& frame, const std::vector<PixelBox>& touched) {
    const int width = frame.width();
    std::vector<bool> covered(static_cast<std::size_t>(width) * frame.height(), false);
    for (const PixelBox& box : touched) {
        if (box.left < 0 || box.top < 0 || box.right > width || box.bottom > frame.height())
            return -1;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
                covered[std::size_t(y) * width + x] = true;
    }
    std::int64_t changed = 0, outside = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = frame.data() + y * frame.stride() + x * 4;
            if (p[0] != kGrey.b || p[1] != kGrey.g || p[2] != kGrey.r || p[3] != kGrey.a) {
                ++changed;
                outside += !covered[std::size_t(y) * width + x];
            }
        }
    }
    return changed == 0 ? -1 : outside;
}

struct FrameCase {
    int width;
    int height;
    double s;
};

class HudAtEverySize : public ::testing::TestWithParam<FrameCase> {};

TEST_P(HudAtEverySize, PedalRowsLightFromTheBottomThePartialRowWithPartialAlpha) {
    const auto [width, height, s] = GetParam();
    const Expected e(width, height, s);
    struct Pedals {
        double throttle;
        double brake;
        std::array<double, 5> throttleAlpha;
        std::array<double, 5> brakeAlpha;
    };
    // Throttle 0.5: rows 0 and 1 fully, row 2 at half opacity; brake 0.84: rows 0 to 3 fully,
    // row 4 at 0.2. Then both ends.
    for (const Pedals& pedals : {Pedals{0.5, 0.84, {1, 1, 0.5, 0, 0}, {1, 1, 1, 1, 0.2}},
                                 Pedals{1, 0, {1, 1, 1, 1, 1}, {0, 0, 0, 0, 0}}}) {
        OverlayTelemetrySample t = cruising();
        t.throttle = pedals.throttle;
        t.brake = pedals.brake;
        const Drawn drawn = drawFrame(width, height, sampleOf(t));
        const auto& throttleAlpha = pedals.throttleAlpha;
        const auto& brakeAlpha = pedals.brakeAlpha;
        for (int row = 0; row < 5; ++row) {
            BgraPixel throttle = over(kGrey, kThrottleBackground);
            if (throttleAlpha[row] > 0) {
                throttle = over(
                    throttle, {kThrottleLit.r, kThrottleLit.g, kThrottleLit.b, throttleAlpha[row]});
            }
            BgraPixel brake = over(over(kGrey, kBrakeBackground),
                                   {kBrakeLit.r, kBrakeLit.g, kBrakeLit.b, brakeAlpha[row]});
            const Point throttleCentre = testing::centreOf(e.throttleCell(row));
            const Point brakeCentre = testing::centreOf(e.brakeCell(row));
            EXPECT_TRUE(
                pixelNear(pixelUnder(drawn.frame, throttleCentre.x, throttleCentre.y), throttle))
                << "throttle row " << row;
            EXPECT_TRUE(pixelNear(pixelUnder(drawn.frame, brakeCentre.x, brakeCentre.y), brake))
                << "brake row " << row;
        }
        // Between the columns nothing is drawn.
        const Rect gap{e.R - 268 * s + 1, e.T + 52 * s, 10 * s - 2, 94 * s};
        EXPECT_EQ(inkWithin(drawn.frame, gap, kGrey).changedPixels, 0);
    }
}

TEST_P(HudAtEverySize, TouchedBoxesCoverEveryChangedPixel) {
    const auto [width, height, s] = GetParam();
    OverlayTelemetrySample t = cruising();
    t.rpm = 7400;
    t.latG = -0.9;
    t.lonG = 0.6;
    t.throttle = 0.7;
    t.steeringDeg = -123;
    // Other glyphs: neutral, three digits of speed, a steering angle without a minus.
    OverlayTelemetrySample other = t;
    other.gear = 0;
    other.speedMps = 83.4;
    other.steeringDeg = 8.4;
    other.rpm = 950;
    const OverlayFrameDebugInfo debug{12.5, 11.0, 11.65, 0.65, 1, std::string("lap.mp4")};
    for (const auto& [sample, layer] : {std::pair{t, Layer::fitting}, std::pair{t, Layer::none},
                                        std::pair{other, Layer::fitting}}) {
        // Inside the boxes the frame may change; outside them it must not.
        BgraImage frame = filledFrame(width, height);
        OverlayRenderContext context;
        const auto staticHUD = OverlayRenderer::makeStaticHUD(width, height);
        std::vector<PixelBox> touched;
        ASSERT_TRUE(OverlayRenderer::drawOverlay(
            context, frame.frame(), sampleOf(sample), debug,
            layer == Layer::fitting ? staticHUD.get() : nullptr, SpeedUnit::mph, &touched));
        ASSERT_FALSE(touched.empty());
        // The export makes only the footprint's pixels before drawing: it must be exactly
        // where the drawing went.
        EXPECT_EQ(OverlayRenderer::overlayFootprint(
                      context, frame.frame(), sampleOf(sample), debug,
                      layer == Layer::fitting ? staticHUD.get() : nullptr, SpeedUnit::mph),
                  touched);
        EXPECT_EQ(changedOutside(frame, touched), 0) << "changed pixels outside the touched boxes";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, HudAtEverySize,
                         ::testing::Values(FrameCase{1920, 1080, 1.0}, FrameCase{640, 360, 0.4},
                                           FrameCase{1080, 1920, 0.5625}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

// A recorder mounted sideways or upside down stores turned frames and a display rotation: the
// HUD drawn on the stored pixels must be the upright HUD of the shown picture, turned.
TEST(HudRenderer, TurnedFramesCarryTheHUDOfThePictureAsShown) {
    const int shownWidth = 640;
    const int shownHeight = 360;
    OverlayTelemetrySample t = cruising();
    t.latG = 0.7;
    t.lonG = -0.4;
    const auto staticHUD = staticLayerOfSize(shownWidth, shownHeight);
    BgraImage upright = filledFrame(shownWidth, shownHeight);
    OverlayRenderContext context;
    ASSERT_TRUE(OverlayRenderer::drawOverlay(context, upright.frame(), sampleOf(t), std::nullopt,
                                             staticHUD.get()));
    for (const int rotation : {90, 180, 270}) {
        const bool quarter = rotation != 180;
        const int width = quarter ? shownHeight : shownWidth;
        const int height = quarter ? shownWidth : shownHeight;
        BgraImage stored = filledFrame(width, height);
        BgraFrame frame = stored.frame();
        frame.displayRotation = rotation;
        std::vector<PixelBox> touched;
        ASSERT_TRUE(OverlayRenderer::drawOverlay(context, frame, sampleOf(t), std::nullopt,
                                                 staticHUD.get(), SpeedUnit::mph, &touched));
        EXPECT_EQ(OverlayRenderer::overlayFootprint(context, frame, sampleOf(t), std::nullopt,
                                                    staticHUD.get(), SpeedUnit::mph),
                  touched)
            << rotation;
        // Where a player shows stored pixel (x, y), rows from the top.
        const auto shownAt = [&](int x, int y) {
            switch (rotation) {
                case 90:
                    return std::pair{height - 1 - y, x};
                case 180:
                    return std::pair{width - 1 - x, height - 1 - y};
                default:
                    return std::pair{y, width - 1 - x};
            }
        };
        double difference = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = stored.data() + y * stored.stride() + x * 4;
                const auto [sx, sy] = shownAt(x, y);
                const std::uint8_t* q = upright.data() + sy * upright.stride() + sx * 4;
                for (int c = 0; c < 3; ++c)
                    difference += std::abs(p[c] - q[c]);
            }
        }
        // Glyphs are rasterised turned, so their edges may differ by a little.
        EXPECT_LT(difference / (width * height * 3.0), 0.05) << rotation;
        EXPECT_EQ(changedOutside(stored, touched), 0) << rotation;
    }
}

TEST(HudRenderer, AFrameOfAnotherSizeDrawsTheStaticElementsButNoSteeringPanel) {
    const int width = 1921;  // a pixel wider than the job's layer
    const Expected e(width, 1080, 1920.0 / 1920);
    ASSERT_EQ(OverlayRenderer::staticLayerFor(staticLayerOfSize(1920, 1080).get(), width, 1080),
              nullptr);
    Drawn drawn{filledFrame(width, 1080), {}};
    OverlayRenderContext context(std::make_unique<RecordingTextPainter>(drawn.texts));
    OverlayTelemetrySample t = cruising();
    t.throttle = 0;
    t.gear = 0;  // "N": no digit besides the scale labels
    ASSERT_TRUE(OverlayRenderer::drawOverlay(context, drawn.frame.frame(), sampleOf(t),
                                             std::nullopt, staticLayerOfSize(1920, 1080).get()));

    const Point row4 = testing::centreOf(e.throttleCell(4));
    EXPECT_TRUE(
        pixelNear(pixelUnder(drawn.frame, row4.x, row4.y), over(kGrey, kThrottleBackground)));
    EXPECT_NE(findText(drawn.texts, "MPH"), nullptr);
    EXPECT_EQ(findText(drawn.texts, "STEER"), nullptr);
    // Steering box corner: untouched, there is no panel.
    EXPECT_TRUE(
        pixelNear(pixelUnder(drawn.frame, e.steeringBox().x + 3, e.steeringBox().y + 3), kGrey, 0));
}

TEST(HudRenderer, DrawingThroughTheLayerGivesTheSamePixelsAsDrawingEverything) {
    OverlayTelemetrySample t = cruising();
    t.brake = 0.33;
    t.rpm = 6400;
    const Drawn layered = drawFrame(1920, 1080, sampleOf(t));
    const Drawn direct = drawFrame(1920, 1080, sampleOf(t), std::nullopt, Layer::none);
    const Rect steering = Expected(1920, 1080, 1).steeringBox();
    const auto view = [](const BgraImage& image) {
        cairo_surface_flush(image.surface());
        return BgraFrame{const_cast<std::uint8_t*>(image.data()), image.width(), image.height(),
                         image.stride()};
    };
    const BgraFrame a = view(layered.frame);
    const BgraFrame b = view(direct.frame);
    int worst = 0;
    for (int y = 0; y < 1080; ++y) {
        for (int x = 0; x < 1920; ++x) {
            if (x >= steering.x - 1 && x <= steering.right() + 1 && y >= steering.y - 1 &&
                y <= steering.top() + 1) {
                continue;  // the panel exists only in the layer
            }
            const int d = testing::difference(pixelAt(a, x, y), pixelAt(b, x, y));
            worst = std::max(worst, d);
        }
    }
    EXPECT_LE(worst, 6);
    EXPECT_GT(inkWithin(layered.frame, steering, kGrey).changedPixels, 20000) << "the panel";
}

TEST(HudRenderer, TimingDebugPanelNamesAMissingLabelAfterTheSourceNumber) {
    const OverlayFrameDebugInfo info{12.5, 40.25, 40.9, 0.65, 2, std::nullopt};
    const Drawn drawn = drawFrame(1920, 1080, sampleOf(cruising()), info);
    EXPECT_NE(findText(drawn.texts, "SRC 3  source_3"), nullptr);
    EXPECT_NE(findText(drawn.texts, "OUT 12.500s  MAP 40.250s  ADJ 40.900s  OFF +0.650s"), nullptr);
    const BgraPixel panel = over(kGrey, {0.02, 0.02, 0.02, 0.68});
    EXPECT_TRUE(pixelNear(pixelUnder(drawn.frame, 24, 1080 - 106), panel));
    // The panel is min(760 s, 0.72 W) wide.
    EXPECT_TRUE(pixelNear(pixelUnder(drawn.frame, 22 + 760 - 1.5, 1080 - 30), panel));
    EXPECT_TRUE(pixelNear(pixelUnder(drawn.frame, 22 + 760 + 0.5, 1080 - 30), kGrey, 0));
    const Drawn without = drawFrame(1920, 1080, sampleOf(cruising()));
    EXPECT_TRUE(pixelNear(pixelUnder(without.frame, 24, 1080 - 106), kGrey, 0));
}

TEST(HudRenderer, GForceLabelsReadTheDirectionsInOrderWithTheirColours) {
    const double s = 1;
    OverlayTelemetrySample t = cruising();
    t.latG = 1.6;
    t.lonG = -0.8;
    OverlayRenderSample sample = sampleOf(t);
    sample.heldPeakG = 0.9;
    const Drawn drawn = drawFrame(1920, 1080, sample);
    TextEntries labels;
    for (const auto& entry : drawn.texts) {
        if (entry.style.font.size == 13 * s || entry.style.font.size == 30 * s)
            labels.push_back(entry);
    }
    // Up (braking), right, down, left, then the peak; the readout "RPM …" also uses 30 s.
    ASSERT_GE(labels.size(), 5u);
    EXPECT_EQ(labels[0].text, "0.8");
    EXPECT_EQ(labels[1].text, "1.6");
    EXPECT_EQ(labels[2].text, "0.0");
    EXPECT_EQ(labels[3].text, "0.0");
    EXPECT_EQ(labels[4].text, "0.90 G");
    const Rgba amber{1.0, 0.85, 0.22, 0.9};
    const Rgba red{0.96, 0.24, 0.18, 0.9};
    EXPECT_EQ(labels[0].style.colour, amber);
    EXPECT_EQ(labels[1].style.colour, red);
    EXPECT_EQ(labels[2].style.colour, white(0.9));
    EXPECT_EQ(labels[4].style.colour, (Rgba{1.0, 0.85, 0.22, 0.95}));

    // The red label's ink is red, the white one's white.
    const BgraPixel redInk = inkWithin(drawn.frame, labels[1].box(), kGrey).strongest;
    EXPECT_GT(redInk.r, redInk.g + 60);
    const BgraPixel whiteInk = inkWithin(drawn.frame, labels[2].box(), kGrey).strongest;
    EXPECT_GT(std::min({whiteInk.r, whiteInk.g, whiteInk.b}), 200);

    sample.heldPeakG = 0.75;
    const Drawn calm = drawFrame(1920, 1080, sample);
    const auto* peak = findText(calm.texts, "0.75 G");
    ASSERT_NE(peak, nullptr);
    EXPECT_EQ(peak->style.colour, white(0.95));
}

TEST(HudRenderer, DrawsIntoPaddedRowsWithoutTouchingThePadding) {
    const int width = 1280;
    const int height = 720;
    const int stride = width * 4 + 96;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(stride) * height, 0xAB);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x)
            std::memcpy(&buffer[static_cast<std::size_t>(row) * stride + x * 4], &kGrey, 4);
    }
    OverlayRenderContext context;
    const auto layer = staticLayerOfSize(width, height);
    ASSERT_TRUE(OverlayRenderer::drawOverlay(context, {buffer.data(), width, height, stride},
                                             sampleOf(cruising()), std::nullopt, layer.get()));
    const Drawn packed = drawFrame(width, height, sampleOf(cruising()));
    cairo_surface_flush(packed.frame.surface());
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* line = &buffer[static_cast<std::size_t>(row) * stride];
        for (int b = width * 4; b < stride; ++b)
            ASSERT_EQ(line[b], 0xAB) << "row " << row;
        ASSERT_EQ(std::memcmp(line, packed.frame.data() + row * packed.frame.stride(), width * 4),
                  0)
            << "row " << row;
    }
}

TEST(HudRenderer, ReusedFrameBuffersShowTheDecodersNewPixels) {
    // A worker draws frame after frame into buffers the decoder refills.
    BgraImage buffer = filledFrame(1280, 720);
    OverlayRenderContext context;
    const auto layer = staticLayerOfSize(1280, 720);
    OverlayTelemetrySample first = cruising();
    first.speedMps = 44;
    ASSERT_TRUE(OverlayRenderer::drawOverlay(context, buffer.frame(), sampleOf(first), std::nullopt,
                                             layer.get()));
    cairo_surface_flush(buffer.surface());
    std::uint8_t* data = buffer.data();
    for (int row = 0; row < 720; ++row) {
        for (int x = 0; x < 1280; ++x)
            std::memcpy(data + row * buffer.stride() + x * 4, &kGrey, 4);
    }
    ASSERT_TRUE(OverlayRenderer::drawOverlay(context, buffer.frame(), sampleOf(cruising()),
                                             std::nullopt, layer.get()));
    const Drawn fresh = drawFrame(1280, 720, sampleOf(cruising()));
    EXPECT_TRUE(testing::sameBytesWithin(buffer, fresh.frame, {0, 0, 1280, 720}));
}

TEST(HudRenderer, WorkersDrawingAtOnceGetTheSamePixelsAsOneAtATime) {
    const auto layer = staticLayerOfSize(1280, 720);
    std::vector<OverlayRenderSample> samples;
    for (int i = 0; i < 4; ++i) {
        OverlayTelemetrySample t = cruising();
        t.speedMps = 10 + 7 * i;
        t.rpm = 1500 * i;
        t.gear = i;
        t.latG = 0.3 * i;
        samples.push_back(sampleOf(t));
    }
    std::vector<BgraImage> sequential;
    OverlayRenderContext single;
    for (const auto& sample : samples) {
        sequential.push_back(filledFrame(1280, 720));
        OverlayRenderer::drawOverlay(single, sequential.back().frame(), sample, std::nullopt,
                                     layer.get());
    }
    std::vector<BgraImage> parallel;
    for (std::size_t i = 0; i < samples.size(); ++i)
        parallel.push_back(filledFrame(1280, 720));
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            workers.emplace_back([&, i] {
                OverlayRenderContext context;
                for (int repeat = 0; repeat < 3; ++repeat) {
                    OverlayRenderer::drawOverlay(context, parallel[i].frame(), samples[i],
                                                 std::nullopt, layer.get());
                    parallel[i].fill(kGrey);
                }
                OverlayRenderer::drawOverlay(context, parallel[i].frame(), samples[i], std::nullopt,
                                             layer.get());
            });
        }
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_TRUE(testing::sameBytesWithin(parallel[i], sequential[i], {0, 0, 1280, 720})) << i;
    }
}

}  // namespace
}  // namespace skelder
