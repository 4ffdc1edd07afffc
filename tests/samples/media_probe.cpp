#include "tests/samples/media_probe.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "tests/support/run_command.hpp"

namespace skelder::samples::testing {

using skelder::testing::runCommand;

namespace {

std::string checkedOutput(const std::vector<std::string>& arguments) {
    const auto result = runCommand(arguments);
    EXPECT_EQ(result.exitStatus, 0) << arguments.front() << ": " << result.standardError;
    EXPECT_EQ(result.standardError, "") << arguments.front();
    return result.standardOutput;
}

}  // namespace

std::string bgraFrameAt(const std::filesystem::path& file, double seconds) {
    return checkedOutput({"ffmpeg", "-v", "error", "-noautorotate", "-ss", std::to_string(seconds),
                          "-i", file.string(), "-frames:v", "1", "-f", "rawvideo", "-pix_fmt",
                          "bgra", "-"});
}

std::vector<std::string> bgraFramesNumbered(const std::filesystem::path& file,
                                            const std::vector<int>& frameIndexes, int width,
                                            int height) {
    std::string select = "select=";
    for (std::size_t i = 0; i < frameIndexes.size(); ++i) {
        select +=
            (i > 0 ? "+" : "") + std::string("eq(n\\,") + std::to_string(frameIndexes[i]) + ")";
    }
    const std::string bytes =
        checkedOutput({"ffmpeg", "-v", "error", "-noautorotate", "-i", file.string(), "-vf", select,
                       "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    const auto frameSize = static_cast<std::size_t>(width * height * 4);
    EXPECT_EQ(bytes.size(), frameIndexes.size() * frameSize);
    std::vector<std::string> frames;
    for (std::size_t at = 0; at + frameSize <= bytes.size(); at += frameSize)
        frames.push_back(bytes.substr(at, frameSize));
    return frames;
}

std::vector<float> decodedAudio(const std::filesystem::path& file) {
    const std::string bytes = checkedOutput({"ffmpeg", "-v", "error", "-i", file.string(), "-vn",
                                             "-ac", "1", "-ar", "48000", "-f", "f32le", "-"});
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

double dominantFrequencyHz(const std::vector<float>& samples, std::size_t first, std::size_t count,
                           double sampleRate, double lowestHz, double highestHz) {
    double best = lowestHz;
    double bestPower = -1;
    for (double frequency = lowestHz; frequency <= highestHz; frequency += 1) {
        // Goertzel filter at this frequency, Hann-windowed.
        const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / sampleRate);
        double previous = 0;
        double beforePrevious = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const double window =
                0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / count);
            const double current =
                window * samples[first + i] + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = current;
        }
        const double power = previous * previous + beforePrevious * beforePrevious -
                             coefficient * previous * beforePrevious;
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

}  // namespace skelder::samples::testing
