#pragma once

// Sample recordings as fixtures. The writer gives the same bytes for the same options, so a
// recording is written once per build of the test program, kept beside it and copied where a
// test needs it: every test runs in a process of its own.

#include <filesystem>

#include "samples/sample_recording.hpp"

namespace skelder::testing {

// Copies the sample recording of `options` (progress and stop token aside) to `file`.
void copySampleRecording(const std::filesystem::path& file, const samples::SampleOptions& options);

}  // namespace skelder::testing
