#pragma once

// What the camera recording tests share: running `skelder export` as a user does, and where in
// the displayed picture the HUD never draws.

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/played_back_video.hpp"
#include "tests/support/run_command.hpp"

namespace skelder::testing {

// Re-encoding may lose this much, no more.
inline constexpr double kReencodeLimitDb = 30;

// "WHAT: PSNR 14.2 dB in frame 3".
inline std::string describe(const RegionComparison& comparison, const std::string& what) {
    return fmt::format("{}: PSNR {:.1f} dB in frame {}", what, comparison.worstPsnr,
                       comparison.worstFrame);
}

// `skelder export --mode full -o OUTPUT INPUT`, its temporary files in a folder of their own.
inline CommandResult exportFull(const std::filesystem::path& input,
                                const std::filesystem::path& output) {
    const auto temporary = output.parent_path() / "export-tmp";
    std::filesystem::create_directories(temporary);
    return runCommand({"env", "TMPDIR=" + temporary.string(), skelderExecutable(), "export",
                       "--mode", "full", "-o", output.string(), input.string()});
}

// The left quarter of the top half: gear, speed and pedals sit further right, the G meter, the
// engine-speed bar and the steering box in the lower half.
inline PictureRegion outsideTheHud(const DisplayedSize& size) {
    return {0, 0, size.width / 4, size.height / 2};
}

// The full-height strip at the left edge that the HUD leaves alone: 16 columns, fewer on small
// pictures whose G panel starts closer to the edge (its margin is 26 pixels at 1920 x 1080,
// scaled with the picture, at least 10.4).
inline PictureRegion leftEdge(const DisplayedSize& size) {
    const double scale = std::max(0.4, std::min(size.width / 1920.0, size.height / 1080.0));
    const int clear = static_cast<int>(26 * scale) - 1;
    return {0, 0, std::min(16, clear), size.height};
}

}  // namespace skelder::testing
