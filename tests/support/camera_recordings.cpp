#include "tests/support/camera_recordings.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

#include "kovra_writer/mp4_merge.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"

namespace skelder::testing {

namespace {

// Turns the displayed picture into the stored one: the display matrix mirrors it (when
// `mirrored`) and then turns it back.
std::string storedOrientationFilter(int rotation, bool mirrored) {
    const std::string mirror = mirrored ? "hflip," : "";
    switch (((rotation % 360) + 360) % 360) {
        case 90:
            return "transpose=cclock," + mirror;
        case 180:
            return "hflip,vflip," + mirror;
        case 270:
            return "transpose=clock," + mirror;
        default:
            return mirror;
    }
}

// An encoder with its options, the pixel format it is fed and the colours it describes.
struct VideoEncoding {
    std::vector<std::string> encoder;
    const char* pixelFormat;
    const char* scaleMatrix;  // the matrix by the scale filter's name
    const char* colorspace;
    const char* primaries;
    const char* transfer;
};

VideoEncoding encodingOf(const CameraRecordingSpec& spec) {
    const std::vector<std::string> x264{"libx264", "-preset", "veryfast",
                                        "-crf",    "16",      "-g",
                                        "30",      "-bf",     spec.bFrames ? "2" : "0"};
    const std::string x265Options =
        fmt::format("log-level=error:keyint=30:bframes={}", spec.bFrames ? 3 : 0);
    const std::vector<std::string> x265{"libx265", "-preset",      "ultrafast", "-crf",
                                        "16",      "-x265-params", x265Options};
    switch (spec.codec) {
        case CameraCodec::h264:
            return {x264, "yuv420p", "bt709", "bt709", "bt709", "bt709"};
        case CameraCodec::h264Yuv444:
            return {x264, "yuv444p", "bt709", "bt709", "bt709", "bt709"};
        case CameraCodec::hevc10Hlg:
            return {x265, "yuv420p10le", "bt2020", "bt2020nc", "bt2020", "arib-std-b67"};
        case CameraCodec::hevc10Pq:
            return {x265, "yuv420p10le", "bt2020", "bt2020nc", "bt2020", "smpte2084"};
    }
    throw std::invalid_argument("unknown camera codec");
}

std::vector<std::string> videoArguments(const CameraRecordingSpec& spec) {
    const VideoEncoding encoding = encodingOf(spec);
    // The test source draws even sizes only; an odd one is cut from the next even size.
    std::string filter =
        fmt::format("format=rgb24,crop={}:{}:0:0,", spec.displayWidth, spec.displayHeight) +
        storedOrientationFilter(spec.rotation, spec.mirrored);
    if (spec.variableFrameRate) {
        // Every third frame on the grid, the others 11 or 22 ms late: gaps of 44, 44 and 11 ms
        // instead of 33.
        filter += fmt::format("settb=1/90000,setpts='(N/({})+0.011*mod(N,3))/TB',", spec.frameRate);
    }
    // The pixels are made with the matrix the tags name.
    filter += fmt::format("scale=out_color_matrix={}:out_range=tv,format={}", encoding.scaleMatrix,
                          encoding.pixelFormat);

    std::vector<std::string> arguments{"-c:v"};
    arguments.insert(arguments.end(), encoding.encoder.begin(), encoding.encoder.end());
    arguments.insert(arguments.end(),
                     {"-colorspace", encoding.colorspace, "-color_primaries", encoding.primaries,
                      "-color_trc", encoding.transfer, "-color_range", "tv", "-vf", filter});
    if (spec.variableFrameRate) {
        arguments.insert(arguments.end(), {"-fps_mode", "vfr", "-enc_time_base:v", "1/90000",
                                           "-video_track_timescale", "90000"});
    }
    return arguments;
}

std::vector<std::string> audioArguments(CameraAudio audio) {
    switch (audio) {
        case CameraAudio::none:
            return {"-an"};
        case CameraAudio::aacMono:
            return {"-c:a", "aac", "-ac", "1", "-b:a", "96k"};
        case CameraAudio::aacStereo:
            return {"-c:a", "aac", "-ac", "2", "-b:a", "128k"};
        case CameraAudio::opus:
            return {"-c:a", "libopus", "-ac", "2", "-b:a", "96k"};
        case CameraAudio::pcm:
            return {"-c:a", "pcm_s16le", "-ac", "2", "-f", "mov"};
    }
    return {};
}

std::vector<std::string> cameraArguments(const CameraRecordingSpec& spec) {
    std::vector<std::string> arguments{
        "-f", "lavfi", "-i",
        fmt::format("testsrc2=size={}x{}:rate={}", spec.displayWidth + spec.displayWidth % 2,
                    spec.displayHeight + spec.displayHeight % 2, spec.frameRate)};
    if (spec.audio != CameraAudio::none) {
        arguments.insert(arguments.end(),
                         {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000"});
    }
    arguments.insert(arguments.end(), {"-t", fmt::format("{}", spec.seconds), "-map", "0:v"});
    if (spec.audio != CameraAudio::none)
        arguments.insert(arguments.end(), {"-map", "1:a"});
    const auto video = videoArguments(spec);
    arguments.insert(arguments.end(), video.begin(), video.end());
    const auto audio = audioArguments(spec.audio);
    arguments.insert(arguments.end(), audio.begin(), audio.end());
    return arguments;
}

// 64-bit FNV-1a: the same key in every run and build, which std::hash does not promise.
std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// ffmpeg's version line: a different ffmpeg makes different files.
const std::string& ffmpegVersion() {
    static const std::string version = [] {
        const std::string out = runCommand({"ffmpeg", "-version"}).standardOutput;
        return out.substr(0, out.find('\n'));
    }();
    return version;
}

std::filesystem::path cacheFolder() {
    const auto folder =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "camera_recordings";
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

std::filesystem::path cameraVideo(const CameraRecordingSpec& spec) {
    const std::vector<std::string> arguments = cameraArguments(spec);
    std::string recipe = ffmpegVersion();
    for (const auto& argument : arguments)
        recipe += '\n' + argument;
    recipe += fmt::format("\nrotation {}{}", spec.rotation, spec.mirrored ? " mirrored" : "");
    const auto folder = cacheFolder();
    // Named by the recipe alone, so cases that differ only in name share one file.
    const auto cached = folder / fmt::format("{:016x}.mp4", fnv1a(recipe));
    if (std::filesystem::exists(cached))
        return cached;

    // Written beside the cache entry and renamed into it, so tests running at the same time
    // never see half a file.
    const auto partial =
        folder / fmt::format("{}.{}.partial.mp4", cached.stem().string(), ::getpid());
    std::vector<std::string> command = arguments;
    command.push_back(partial.string());
    ffmpeg(command);
    if (::testing::Test::HasFatalFailure() || !std::filesystem::exists(partial)) {
        std::filesystem::remove(partial);
        throw std::runtime_error("ffmpeg could not make the camera file of " + spec.name);
    }
    if (spec.rotation % 360 != 0 || spec.mirrored)
        setDisplayRotation(partial, spec.rotation, spec.mirrored);
    std::filesystem::rename(partial, cached);
    return cached;
}

void makeCameraRecording(const std::filesystem::path& file, const CameraRecordingSpec& spec) {
    kovra::RecordingOptions telemetry;
    telemetry.durationSeconds = spec.seconds + 1;
    kovra::appendTelemetryTrack(cameraVideo(spec), file, telemetry);
}

CameraRecordingSpec uprightTwin(CameraRecordingSpec spec) {
    spec.name += "_upright";
    spec.rotation = 0;
    spec.mirrored = false;
    return spec;
}

}  // namespace skelder::testing
