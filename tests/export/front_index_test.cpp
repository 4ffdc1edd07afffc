// Every file an export writes keeps its index (the movie box) before its media data, so a
// browser or a phone starts playing it as the first bytes arrive.

#include <gtest/gtest.h>

#include <fstream>
#include <stop_token>

#include "export/export_service.hpp"
#include "tests/export/full_export_job.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

// The types of a file's top-level boxes, in order.
std::vector<std::string> topLevelBoxes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> types;
    for (;;) {
        unsigned char header[16];
        if (!in.read(reinterpret_cast<char*>(header), 8))
            break;
        std::uint64_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | header[i];
        types.emplace_back(reinterpret_cast<const char*>(header + 4), 4);
        if (size == 1) {
            if (!in.read(reinterpret_cast<char*>(header + 8), 8))
                break;
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | header[i];
            in.seekg(static_cast<std::streamoff>(size) - 16, std::ios::cur);
        } else if (size >= 8) {
            in.seekg(static_cast<std::streamoff>(size) - 8, std::ios::cur);
        } else {
            break;
        }
    }
    return types;
}

bool indexBeforeMedia(const std::vector<std::string>& boxes) {
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    return moov != boxes.end() && mdat != boxes.end() && moov < mdat;
}

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
    for (const auto& file : {full, layer}) {
        EXPECT_TRUE(indexBeforeMedia(topLevelBoxes(file))) << file.filename();
    }

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
