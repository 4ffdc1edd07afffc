#pragma once

#include <filesystem>
#include <map>

namespace skelder {

// The telemetry advance of each input of an export, in milliseconds: the one the user set for
// all, or one of a recording's own (measured from its engine sound, for instance).
struct TelemetryOffsets {
    // Every input takes the same advance.
    TelemetryOffsets(double milliseconds)  // NOLINT(google-explicit-constructor): one for all
        : fallbackMilliseconds(milliseconds) {}
    TelemetryOffsets(double fallback, std::map<std::filesystem::path, double> byInput)
        : fallbackMilliseconds(fallback), millisecondsByInput(std::move(byInput)) {}

    double millisecondsFor(const std::filesystem::path& input) const {
        const auto found = millisecondsByInput.find(input);
        return found == millisecondsByInput.end() ? fallbackMilliseconds : found->second;
    }

    double fallbackMilliseconds = 0;
    std::map<std::filesystem::path, double> millisecondsByInput;
};

}  // namespace skelder
