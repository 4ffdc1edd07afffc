#pragma once

// Realistic Kovra recordings for demos and test fixtures: H.264 video whose pictures show the
// elapsed time and frame number (also as a machine-readable block code), AAC engine sound, and
// the recorder's telemetry track, all from one simulated drive out of the pit lane and round the
// sample circuit.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>

#include "core/telemetry_advance.hpp"
#include "samples/drive_simulation.hpp"
#include "samples/engine_sound.hpp"
#include "samples/frame_code.hpp"
#include "samples/frame_rate.hpp"
#include "samples/sample_error.hpp"
#include "samples/sample_telemetry.hpp"

namespace skelder::samples {

struct SampleOptions {
    double seconds = 60;  // at most 4 hours
    int width = 1920;     // stored picture size; even, 64 to 7680
    int height = 1080;
    FrameRate frameRate = {30, 1};  // 1 to 120 frames per second
    // Clockwise display rotation (0, 90, 180 or 270), written as the video stream's display
    // matrix. As a recorder mounted turned does, the pictures are stored width x height but
    // turned, so that players turning them by the matrix show them upright.
    int rotationDegrees = 0;
    bool audio = true;
    EngineSoundOptions sound = {};  // cylinders, sound delay, noise, wind and music
    std::uint64_t seed = 1;         // chooses the sensor noise
    SampleCircuit circuit = SampleCircuit::national;
    // The telemetry trails the picture by this much, as the recorder's does (the default
    // telemetry advance lines it up again); 0 puts it in step with the picture.
    double telemetryLagSeconds = kDefaultTelemetryAdvanceMilliseconds / 1000;
    // Called with the share of the work done, from 0 to 1, on the writing thread.
    std::function<void(double fraction)> onProgress = {};
    std::stop_token stopToken = {};
};

// Throws SampleOptionsError with a message naming the bad option.
void validateSampleOptions(const SampleOptions& options);

// Frames in a sample: seconds x frame rate, rounded to nearest, at least 1.
std::int64_t sampleFrameCount(const SampleOptions& options);
// Length of the video: frame count / frame rate.
double sampleVideoSeconds(const SampleOptions& options);
// Presentation time of a frame in seconds.
double sampleFrameSeconds(const SampleOptions& options, std::int64_t frameNumber);
// Keyframe interval in frames: every 2 seconds.
int sampleKeyframeInterval(const SampleOptions& options);

// The drive a sample with these options shows (same duration and seed).
DriveSimulation sampleDrive(const SampleOptions& options);

// Writes the sample recording to `path`, replacing any file there. The file is built next to it
// under a temporary name and moved into place only when complete. The same options give the
// same bytes with the same FFmpeg and x264 libraries (the encoder threads are fixed). Throws
// SampleOptionsError, SampleWriteError, CancellationError when the stop token fires, and
// std::filesystem::filesystem_error for file system failures.
void writeSampleRecording(const std::filesystem::path& path, const SampleOptions& options);

}  // namespace skelder::samples
