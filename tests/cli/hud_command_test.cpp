#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "kovra_writer/kovra_writer.hpp"
#include "overlay/cairo_handles.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

struct Pixel {
    int r, g, b;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

// A PNG read back with its pixels addressed from the lower-left corner.
class Png {
  public:
    explicit Png(const std::filesystem::path& path)
        : surface_(cairo_image_surface_create_from_png(path.c_str())) {}
    bool ok() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_.get()); }
    int height() const { return cairo_image_surface_get_height(surface_.get()); }
    Pixel at(double x, double y) const {
        const unsigned char* row = cairo_image_surface_get_data(surface_.get()) +
                                   (height() - 1 - static_cast<int>(std::floor(y))) *
                                       cairo_image_surface_get_stride(surface_.get());
        const unsigned char* p = row + 4 * static_cast<int>(std::floor(x));
        return {p[2], p[1], p[0]};
    }

  private:
    SurfacePtr surface_;
};

bool near(Pixel a, Pixel b) {
    return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}

constexpr Pixel kGrey{128, 128, 128};
constexpr Pixel kThrottleLit{31, 217, 64};         // (0.12, 0.85, 0.25) opaque
constexpr Pixel kThrottleBackground{92, 119, 92};  // (0.1, 0.4, 0.1, 0.35) over grey
constexpr Pixel kDebugPanel{44, 44, 44};           // (0.02, 0.02, 0.02, 0.68) over grey

class HudCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        kovra::RecordingOptions options;
        options.durationSeconds = 8;
        // Full throttle from 3 s on, nothing before: which one shows tells the sampled time.
        options.valueAt = [](const kovra::ChannelDefinition& channel, double seconds) {
            if (channel.tag == std::string(kovra::kVendorPrefix) + "channel.throttle.position")
                return seconds >= 3.0 ? 1.0 : 0.0;
            return kovra::syntheticValue(channel, seconds);
        };
        recording = dir / "lap.mp4";
        kovra::writeRecording(recording, options);
    }

    // Centre of the top throttle cell (row 4) in a frame with layout scale s.
    static std::pair<double, double> throttleRow4(double width, double height, double s) {
        const double right = width - 26 * s;
        const double top = height - 26 * s - 170 * s;
        return {right - 256 * s + 45 * s, top + 52 * s + 80 * s + 7 * s};
    }

    testing::TempDir dir;
    std::filesystem::path recording;
    std::filesystem::path output = dir / "hud.png";
};

TEST_F(HudCommand, DrawsTheHUDOfTheInstantPlusTheOffsetOverAGreyFrame) {
    const auto result =
        runCommand({skelderExecutable(), "hud", recording, "--at", "2.5", "-o", output});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    const Png png(output);
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.width(), 1920);
    EXPECT_EQ(png.height(), 1080);
    EXPECT_EQ(png.at(960, 540), kGrey);
    // 2.5 s + the default 650 ms: 3.15 s, full throttle, all five rows lit.
    const auto [x, y] = throttleRow4(1920, 1080, 1);
    EXPECT_TRUE(near(png.at(x, y), kThrottleLit));
    // No timing panel unless asked.
    EXPECT_EQ(png.at(24, 1080 - 106), kGrey);

    // The offset shifts which telemetry is shown.
    const auto atOffset = [&](const std::string& milliseconds) {
        const auto result = runCommand({skelderExecutable(), "hud", recording, "--at", "2.5",
                                        "--offset-ms", milliseconds, "-o", output});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        return Png(output).at(x, y);
    };
    EXPECT_TRUE(near(atOffset("0"), kThrottleBackground));
    EXPECT_TRUE(near(atOffset("400"), kThrottleBackground));    // 2.9 s
    EXPECT_TRUE(near(atOffset("500"), kThrottleLit));           // 3.0 s
    EXPECT_TRUE(near(atOffset("-5000"), kThrottleBackground));  // before the start: 0 s
}

TEST_F(HudCommand, PortraitSizeAndTheTimingPanel) {
    const auto result = runCommand({skelderExecutable(), "hud", recording, "--at", "4", "--size",
                                    "1080x1920", "--debug", "-o", output});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const Png png(output);
    ASSERT_EQ(png.width(), 1080);
    ASSERT_EQ(png.height(), 1920);
    const double s = 0.5625;
    const auto [x, y] = throttleRow4(1080, 1920, s);
    EXPECT_TRUE(near(png.at(x, y), kThrottleLit));
    EXPECT_TRUE(near(png.at(22 * s + 2, 1920 - 108 * s + 2), kDebugPanel));
}

TEST_F(HudCommand, FailuresAndUsageErrorsPrintTheirMessage) {
    const auto missing =
        runCommand({skelderExecutable(), "hud", "/no/such/lap.mp4", "--at", "1", "-o", output});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.standardError, "/no/such/lap.mp4: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(output));

    // A box whose size runs past the end of the file.
    for (const auto& [name, message] : {std::pair{"notes.txt", "Only MP4 files are supported"},
                                        std::pair{"empty.mp4", "Input file is empty"},
                                        std::pair{"garbage.mp4", "Invalid box size"}}) {
        const auto path = dir / name;
        testing::writeFile(
            path, std::vector<std::uint8_t>(std::string(name) == "garbage.mp4" ? 64 : 0, 7));
        const auto result =
            runCommand({skelderExecutable(), "hud", path, "--at", "1", "-o", output});
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_EQ(result.standardError, std::string(message) + "\n") << name;
        EXPECT_FALSE(std::filesystem::exists(output)) << name;
    }
    const auto help = runCommand({skelderExecutable(), "hud", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* option : {"--at", "--size", "--offset-ms", "--debug", "--output"})
        EXPECT_NE(help.standardOutput.find(option), std::string::npos) << option;
    for (const std::string size : {"12x", "0x100", "100000x10"}) {
        const auto result = runCommand(
            {skelderExecutable(), "hud", recording, "--at", "1", "--size", size, "-o", output});
        EXPECT_EQ(result.exitStatus, 1) << size;
        EXPECT_EQ(result.standardError,
                  "Invalid frame size \"" + size + "\": expected WIDTHxHEIGHT, e.g. 1920x1080\n");
    }
    const auto noTime = runCommand({skelderExecutable(), "hud", recording, "-o", output});
    EXPECT_NE(noTime.exitStatus, 0);
    EXPECT_NE(noTime.standardError.find("--at is required"), std::string::npos);
    const auto negative =
        runCommand({skelderExecutable(), "hud", recording, "--at", "-1", "-o", output});
    EXPECT_NE(negative.exitStatus, 0);
    EXPECT_EQ(
        negative.standardError.rfind("--at: \"-1\" is before the start of the recording\n", 0), 0u)
        << negative.standardError;

    const auto unwritable = runCommand(
        {skelderExecutable(), "hud", recording, "--at", "1", "-o", dir / "missing" / "hud.png"});
    EXPECT_EQ(unwritable.exitStatus, 1);
    EXPECT_EQ(unwritable.standardError.rfind(
                  "Cannot write " + (dir / "missing" / "hud.png").string() + ": ", 0),
              0u)
        << unwritable.standardError;
}

}  // namespace
}  // namespace skelder
