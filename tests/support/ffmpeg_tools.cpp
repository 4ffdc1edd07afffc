#include "tests/support/ffmpeg_tools.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "kovra_writer/mp4_merge.hpp"
#include "tests/support/run_command.hpp"

namespace skelder::testing {

void ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const CommandResult result = runCommand(command);
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
}

nlohmann::json ffprobe(const std::filesystem::path& file, const std::vector<std::string>& extra) {
    std::vector<std::string> command{"ffprobe", "-v",           "error",        "-print_format",
                                     "json",    "-show_format", "-show_streams"};
    command.insert(command.end(), extra.begin(), extra.end());
    command.push_back(file.string());
    const CommandResult result = runCommand(command);
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    return nlohmann::json::parse(result.standardOutput);
}

bool indexPrecedesMediaData(const std::filesystem::path& file) {
    const std::string boxes = runCommand({"ffprobe", "-v", "trace", file.string()}).standardError;
    const auto moov = boxes.find("type:'moov' parent:'root'");
    const auto mdat = boxes.find("type:'mdat' parent:'root'");
    return moov != std::string::npos && mdat != std::string::npos && moov < mdat;
}

void makeTestVideo(const std::filesystem::path& file, const TestVideoOptions& o) {
    const std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
    std::vector<std::string> arguments{
        "-f", "lavfi", "-i",
        "nullsrc=s=" + size + ":r=" + std::to_string(o.fps) +
            ",geq=lum='16+mod(N*6,216)':cb=128:cr=128,format=yuv420p"};
    if (o.audio) {
        arguments.insert(arguments.end(),
                         {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000"});
    }
    arguments.insert(arguments.end(),
                     {"-t", std::to_string(o.seconds), "-c:v", "libx264", "-preset", "ultrafast",
                      "-g", std::to_string(o.keyframeInterval), "-bf", "2", "-colorspace", "bt709",
                      "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv"});
    if (o.audio)
        arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", "64k"});
    arguments.push_back(file.string());
    ffmpeg(arguments);
    if (o.rotation != 0)
        setDisplayRotation(file, o.rotation);
}

void makeRecordingWithVideo(const std::filesystem::path& file, const TestVideoOptions& video,
                            const kovra::RecordingOptions& telemetry) {
    const auto camera = file.parent_path() / (file.stem().string() + ".camera.mp4");
    makeTestVideo(camera, video);
    kovra::appendTelemetryTrack(camera, file, telemetry);
    std::filesystem::remove(camera);
}

void setDisplayRotation(const std::filesystem::path& file, int clockwiseDegrees, bool mirrored) {
    std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
    const auto readU32 = [&](std::uint64_t at) {
        unsigned char b[4] = {};
        io.seekg(static_cast<std::streamoff>(at));
        io.read(reinterpret_cast<char*>(b), 4);
        return (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    };
    const auto typeAt = [&](std::uint64_t at) {
        char t[4] = {};
        io.seekg(static_cast<std::streamoff>(at + 4));
        io.read(t, 4);
        return std::string(t, 4);
    };
    // Walks box headers (32-bit sizes suffice for these small test files).
    const auto find = [&](std::uint64_t start, std::uint64_t end, const std::string& type) {
        for (std::uint64_t at = start; at + 8 <= end;) {
            const std::uint32_t size = readU32(at);
            if (size < 8)
                break;
            if (typeAt(at) == type)
                return at;
            at += size;
        }
        throw std::runtime_error("no " + type + " box");
    };
    const auto fileSize = std::filesystem::file_size(file);
    const std::uint64_t moov = find(0, fileSize, "moov");
    const std::uint64_t trak = find(moov + 8, moov + readU32(moov), "trak");  // video comes first
    const std::uint64_t tkhd = find(trak + 8, trak + readU32(trak), "tkhd");
    io.seekg(static_cast<std::streamoff>(tkhd + 8));
    const int version = io.get();
    const std::uint64_t matrixAt = tkhd + 8 + (version == 1 ? 52 : 40);
    // a, b, u, c, d, v, x, y, w: a quarter turn clockwise is (0, 1, -1, 0).
    std::int32_t matrix[9] = {65536, 0, 0, 0, 65536, 0, 0, 0, 1 << 30};
    const int quarter = ((clockwiseDegrees / 90) % 4 + 4) % 4;
    const std::int32_t cosines[4] = {65536, 0, -65536, 0};
    const std::int32_t sines[4] = {0, 65536, 0, -65536};
    // The mirror first: the turn's first column (a, b) changes sign.
    const std::int32_t sign = mirrored ? -1 : 1;
    matrix[0] = sign * cosines[quarter];
    matrix[1] = sign * sines[quarter];
    matrix[3] = -sines[quarter];
    matrix[4] = cosines[quarter];
    io.seekp(static_cast<std::streamoff>(matrixAt));
    for (std::int32_t value : matrix) {
        const auto u = static_cast<std::uint32_t>(value);
        const char bytes[4] = {char(u >> 24), char(u >> 16), char(u >> 8), char(u)};
        io.write(bytes, 4);
    }
    if (!io)
        throw std::runtime_error("cannot patch " + file.string());
}

int frameNumberOfGrey(double averageGrey) {
    // Limited-range luma back from the full-range grey a decoder shows.
    const double luma = 16.0 + averageGrey * 219.0 / 255.0;
    return static_cast<int>(std::lround((luma - 16.0) / 6.0));
}

}  // namespace skelder::testing
