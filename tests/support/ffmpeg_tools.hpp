#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kovra_writer/kovra_writer.hpp"

namespace skelder::testing {

// Runs the ffmpeg command line (quiet, overwriting) and fails the test when it fails.
void ffmpeg(const std::vector<std::string>& arguments);

// ffprobe's JSON description (-show_format -show_streams) of a file.
nlohmann::json ffprobe(const std::filesystem::path& file,
                       const std::vector<std::string>& extra = {});

// Whether the file's index (the movie box) comes before its media data, as ffprobe reads the
// top-level boxes: a browser or a phone then plays it from its first bytes.
bool indexPrecedesMediaData(const std::filesystem::path& file);

// A test video made by ffmpeg alone: frame n is uniformly grey with luma 16 + 6·n (for the
// first 36 frames; so a decoded frame tells its number), optionally with a sine tone, H.264
// yuv420p BT.709 limited range.
struct TestVideoOptions {
    int width = 64;
    int height = 48;
    int fps = 10;
    double seconds = 2;
    bool audio = true;
    int rotation = 0;  // display rotation, clockwise degrees
    int keyframeInterval = 5;
};
void makeTestVideo(const std::filesystem::path& file, const TestVideoOptions& options = {});

// A recording with camera video (the grey test video) and the recorder's telemetry track.
void makeRecordingWithVideo(const std::filesystem::path& file, const TestVideoOptions& video,
                            const kovra::RecordingOptions& telemetry);

// Writes a display rotation (clockwise) into the first track's header of an MP4 file, the
// way cameras mark portrait video; `mirrored`: mirrored left to right before the turn.
void setDisplayRotation(const std::filesystem::path& file, int clockwiseDegrees,
                        bool mirrored = false);

// The frame number a decoded grey test frame shows, from its average BGRA grey level.
int frameNumberOfGrey(double averageGrey);

}  // namespace skelder::testing
