#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace skelder::samples::testing {

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

}  // namespace skelder::samples::testing
