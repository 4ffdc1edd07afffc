// Every file an export writes keeps its index (the movie box) before its media data, so a
// browser or a phone starts playing it as the first bytes arrive.

#include <gtest/gtest.h>

#include <fstream>

#include "export/export_service.hpp"
#include "tests/export/full_export_job.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

// Pictures ffmpeg decodes from a file.
std::size_t decodedPictures(const std::filesystem::path& file) {
    const auto result =
        testing::runCommand({"ffmpeg", "-v", "quiet", "-i", file.string(), "-vf", "scale=8:8", "-f",
                             "rawvideo", "-pix_fmt", "gray", "-"});
    return result.standardOutput.size() / 64;
}

TEST(FrontIndex, ExportsAndLayersPlayFromTheirFirstBytes) {
    testing::TempDir dir;
    const auto input = dir / "drive.mp4";
    kovra::RecordingOptions telemetry;
    telemetry.durationSeconds = 11;
    testing::makeRecordingWithVideo(
        input, {.width = 160, .height = 96, .fps = 10, .seconds = 10, .audio = true}, telemetry);
    ExportService service;
    const auto full = dir / "drive.full.overlay.mp4";
    service.exportOverlayVideo(testing::fullExportJob(input), full, {}, {});
    const auto layer = dir / "drive.hud.mov";
    service.exportHudLayer(testing::fullExportJob(input), layer, media::LayerCodec::animation, {},
                           {});
    EXPECT_TRUE(testing::indexPrecedesMediaData(full));
    EXPECT_TRUE(testing::indexPrecedesMediaData(layer));

    // The first fifth of the file, as a browser has it a moment after it started fetching:
    // its first seconds play.
    const auto cut = dir / "cut.mp4";
    {
        std::ifstream in(full, std::ios::binary);
        std::vector<char> bytes(std::filesystem::file_size(full) / 5);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(cut, std::ios::binary).write(bytes.data(), in.gcount());
    }
    EXPECT_EQ(decodedPictures(full), 100u);
    EXPECT_GE(decodedPictures(cut), 10u);
}

}  // namespace
}  // namespace skelder
