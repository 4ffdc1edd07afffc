#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace skelder::samples::testing {

// ffprobe's JSON for a file (-show_format -show_streams plus `extra`); fails the test when
// ffprobe fails.
nlohmann::json probe(const std::filesystem::path& file, const std::vector<std::string>& extra = {});

// One decoded picture in BGRA at its stored size (no rotation applied): the frame shown at a
// presentation time (accurate seek), or the frames with the given indexes in presentation order
// (ascending) from one decoding pass.
std::string bgraFrameAt(const std::filesystem::path& file, double seconds);
std::vector<std::string> bgraFramesNumbered(const std::filesystem::path& file,
                                            const std::vector<int>& frameIndexes, int width,
                                            int height);

// The whole audio track decoded to 48 kHz mono floats.
std::vector<float> decodedAudio(const std::filesystem::path& file);

// Frequency in a range with the most energy in a stretch of samples, to 1 Hz.
double dominantFrequencyHz(const std::vector<float>& samples, std::size_t first, std::size_t count,
                           double sampleRate, double lowestHz, double highestHz);

// Top-level MP4 box types in file order.
std::vector<std::string> topLevelBoxes(const std::filesystem::path& file);

}  // namespace skelder::samples::testing
