#pragma once

// What a player shows of a video file, read with ffmpeg and ffprobe as independent readers:
// decoded pictures with the display rotation applied, presentation times, the audio packets.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace skelder::testing {

// A rectangle of the displayed picture, rows counted from the top.
struct PictureRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// One region of every frame, packed 8-bit RGB rows.
struct RgbFrames {
    PictureRegion region;
    std::vector<std::vector<std::uint8_t>> frames;
};

// The region of every frame as ffmpeg plays the first video stream back: display rotation
// applied, colours converted by the stream's own tags, frames in presentation order with none
// dropped or repeated. `conversion`, when given, is an ffmpeg filter applied to the decoded
// frames before they become RGB (e.g. a colour conversion with zscale).
RgbFrames playedBackFrames(const std::filesystem::path& file, const PictureRegion& region,
                           const std::string& conversion = {});

// A part of every frame; `part` is in picture coordinates and must lie inside `frames.region`.
RgbFrames cropFrames(const RgbFrames& frames, const PictureRegion& part);

// ffprobe's description of the first video stream (-show_streams).
nlohmann::json firstVideoStream(const std::filesystem::path& file);

// The display rotation ffprobe reports for a video stream (0 without one).
int displayRotation(const nlohmann::json& videoStream);

// The displayed size (rotation applied) of the first video stream.
struct DisplayedSize {
    int width = 0;
    int height = 0;
};
DisplayedSize displayedSize(const nlohmann::json& videoStream);
DisplayedSize displayedSize(const std::filesystem::path& file);

// Peak signal-to-noise ratio in dB of two pictures of the same size; infinite when equal.
double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

// How far two played-back regions differ: the worst frame, and the closest one.
struct RegionComparison {
    double worstPsnr = 0;
    double bestPsnr = 0;
    std::size_t worstFrame = 0;
};
RegionComparison compareRegions(const RgbFrames& a, const RgbFrames& b);

// Presentation times in seconds of the first video stream's frames, in order.
std::vector<double> videoFrameTimes(const std::filesystem::path& file);

// The first audio stream's packets as ffmpeg copies them out: one "size, MD5" line per packet,
// after a line with the codec's extradata. Empty when there is no audio stream.
std::vector<std::string> audioPacketDigests(const std::filesystem::path& file);

}  // namespace skelder::testing
