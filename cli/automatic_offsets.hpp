#pragma once

#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "export/telemetry_offsets.hpp"

namespace skelder::cli {

// The telemetry advance of every input measured from its engine sound: a trusted estimate is
// used, anything else falls back to `fallbackMilliseconds`. Each file's choice is told through
// `say` ("lap.mp4: telemetry advance +120 ms from the engine sound (confidence 0.61)").
// Throws CancellationError once `stop` is requested.
TelemetryOffsets estimateTelemetryOffsets(const std::vector<std::filesystem::path>& inputs,
                                          double fallbackMilliseconds,
                                          const std::function<void(const std::string&)>& say,
                                          std::stop_token stop);

}  // namespace skelder::cli
