#pragma once

// Recordings the way users' cameras make them: video and audio written by ffmpeg (not by our
// sample writer) from its moving test picture, with the recorder's telemetry track added.

#include <filesystem>
#include <string>

namespace skelder::testing {

enum class CameraCodec {
    h264,        // yuv420p, BT.709 tags
    h264Yuv444,  // High 4:4:4 Predictive: x264 writes odd widths only without chroma subsampling
    hevc10Hlg,   // libx265 yuv420p10le, BT.2020 primaries and matrix, HLG transfer
    hevc10Pq,    // the same with the PQ (SMPTE 2084) transfer
};

enum class CameraAudio {
    none,
    aacMono,
    aacStereo,
    opus,
    pcm,  // 16-bit PCM, which the MP4 muxer refuses; written with the QuickTime muxer instead
};

struct CameraRecordingSpec {
    std::string name;  // names the test case: letters, digits and underscores
    // The picture as played back, display rotation applied.
    int displayWidth = 640;
    int displayHeight = 360;
    std::string frameRate = "30";  // as ffmpeg reads it: "30", "30000/1001"
    CameraCodec codec = CameraCodec::h264;
    bool bFrames = true;
    bool variableFrameRate = false;  // frames moved off the regular grid by up to 22 ms
    CameraAudio audio = CameraAudio::aacStereo;
    // Display rotation (clockwise degrees) in the track header. The picture is stored turned
    // the other way, as a recorder mounted sideways or upside down stores it, so that it plays
    // back upright.
    int rotation = 0;
    // Mirrored left to right before that turn, as a recorder set to mirror its picture says.
    bool mirrored = false;
    double seconds = 1;
};

// The camera's own file (no telemetry), made by ffmpeg once and kept in a cache folder beside
// the test program, keyed by everything that went into making it.
std::filesystem::path cameraVideo(const CameraRecordingSpec& spec);

// The camera's file with a telemetry track added that outlasts the video by a second, so
// every frame has telemetry whatever the time offset.
void makeCameraRecording(const std::filesystem::path& file, const CameraRecordingSpec& spec);

// The same recording without rotation: the displayed picture stored as it is shown.
CameraRecordingSpec uprightTwin(CameraRecordingSpec spec);

}  // namespace skelder::testing
