#include "tests/support/played_back_video.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::testing {

RgbFrames playedBackFrames(const std::filesystem::path& file, const PictureRegion& region,
                           const std::string& conversion) {
    TempDir dir;
    const auto raw = dir / "frames.rgb";
    ffmpeg(
        {"-i", file.string(), "-map", "0:v:0", "-vf",
         // RGB first: a 4:2:0 crop would round an odd width down and shear every frame after.
         fmt::format("{}{}format=rgb24,crop={}:{}:{}:{}", conversion, conversion.empty() ? "" : ",",
                     region.width, region.height, region.x, region.y),
         "-fps_mode", "passthrough", "-f", "rawvideo", raw.string()});
    const std::size_t frameBytes = std::size_t(region.width) * std::size_t(region.height) * 3;
    RgbFrames result{region, {}};
    std::ifstream in(raw, std::ios::binary);
    for (std::vector<std::uint8_t> frame(frameBytes);
         frameBytes > 0 && in.read(reinterpret_cast<char*>(frame.data()), long(frameBytes));) {
        result.frames.push_back(frame);
    }
    return result;
}

RgbFrames cropFrames(const RgbFrames& frames, const PictureRegion& part) {
    const PictureRegion& whole = frames.region;
    EXPECT_TRUE(part.x >= whole.x && part.y >= whole.y &&
                part.x + part.width <= whole.x + whole.width &&
                part.y + part.height <= whole.y + whole.height);
    RgbFrames result{part, {}};
    const auto rowBytes = std::size_t(part.width) * 3;
    for (const auto& frame : frames.frames) {
        std::vector<std::uint8_t> cropped;
        cropped.reserve(rowBytes * std::size_t(part.height));
        for (int row = part.y - whole.y; row < part.y - whole.y + part.height; ++row) {
            const auto at =
                frame.begin() +
                long((std::size_t(row) * std::size_t(whole.width) + std::size_t(part.x - whole.x)) *
                     3);
            cropped.insert(cropped.end(), at, at + long(rowBytes));
        }
        result.frames.push_back(std::move(cropped));
    }
    return result;
}

nlohmann::json firstVideoStream(const std::filesystem::path& file) {
    return ffprobe(file, {"-select_streams", "v:0"})["streams"].at(0);
}

int displayRotation(const nlohmann::json& videoStream) {
    for (const auto& sideData : videoStream.value("side_data_list", nlohmann::json::array())) {
        if (sideData.contains("rotation"))
            return sideData["rotation"].get<int>();
    }
    return 0;
}

DisplayedSize displayedSize(const nlohmann::json& videoStream) {
    DisplayedSize size{videoStream.at("width").get<int>(), videoStream.at("height").get<int>()};
    if (std::abs(displayRotation(videoStream)) % 180 == 90)
        std::swap(size.width, size.height);
    return size;
}

DisplayedSize displayedSize(const std::filesystem::path& file) {
    return displayedSize(firstVideoStream(file));
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    const std::size_t count = std::min(a.size(), b.size());
    double squares = 0;
    for (std::size_t i = 0; i < count; ++i)
        squares += (double(a[i]) - double(b[i])) * (double(a[i]) - double(b[i]));
    return squares == 0 ? std::numeric_limits<double>::infinity()
                        : 10 * std::log10(255.0 * 255.0 * double(count) / squares);
}

RegionComparison compareRegions(const RgbFrames& a, const RgbFrames& b) {
    RegionComparison result{std::numeric_limits<double>::infinity(), 0, 0};
    const std::size_t count = std::min(a.frames.size(), b.frames.size());
    for (std::size_t i = 0; i < count; ++i) {
        const double value = psnr(a.frames[i], b.frames[i]);
        result.bestPsnr = std::max(result.bestPsnr, value);
        if (value < result.worstPsnr) {
            result.worstPsnr = value;
            result.worstFrame = i;
        }
    }
    return result;
}

std::vector<double> videoFrameTimes(const std::filesystem::path& file) {
    const CommandResult probed =
        runCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                    "frame=best_effort_timestamp_time", "-of", "json", file.string()});
    EXPECT_EQ(probed.exitStatus, 0) << probed.standardError;
    std::vector<double> times;
    for (const auto& frame :
         nlohmann::json::parse(probed.standardOutput).value("frames", nlohmann::json::array())) {
        times.push_back(std::stod(frame.at("best_effort_timestamp_time").get<std::string>()));
    }
    return times;
}

std::vector<std::string> audioPacketDigests(const std::filesystem::path& file) {
    if (ffprobe(file, {"-select_streams", "a"})["streams"].empty())
        return {};
    const CommandResult copied =
        runCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", file.string(), "-map", "0:a:0", "-c",
                    "copy", "-f", "framemd5", "-"});
    EXPECT_EQ(copied.exitStatus, 0) << copied.standardError;
    // "#extradata 0, SIZE, MD5" and "STREAM, DTS, PTS, DURATION, SIZE, MD5" lines: timing
    // aside, what the packets hold.
    std::vector<std::string> digests;
    std::istringstream lines(copied.standardOutput);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("#extradata")) {
            digests.push_back(line);
        } else if (!line.empty() && line[0] != '#') {
            const auto hashAt = line.rfind(',');
            const auto sizeAt = hashAt == 0 ? std::string::npos : line.rfind(',', hashAt - 1);
            digests.push_back(sizeAt == std::string::npos ? line : line.substr(sizeAt + 1));
        }
    }
    return digests;
}

}  // namespace skelder::testing
