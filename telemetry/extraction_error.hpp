#pragma once

#include <stdexcept>
#include <string>

namespace skelder {

// The one error of telemetry ingest. Its message is the text the user sees and the
// file list classifies it by substring, so the wording is behaviour.
class TelemetryExtractionError : public std::runtime_error {
  public:
    enum class Case { unsupportedInput, telemetryMissing, decodeFailed };

    TelemetryExtractionError(Case errorCase, const std::string& message)
        : std::runtime_error(message), errorCase_(errorCase) {}

    static TelemetryExtractionError unsupportedInput(const std::string& message) {
        return {Case::unsupportedInput, message};
    }
    static TelemetryExtractionError telemetryMissing(const std::string& message) {
        return {Case::telemetryMissing, message};
    }
    static TelemetryExtractionError decodeFailed(const std::string& message) {
        return {Case::decodeFailed, message};
    }
    // The file's bytes could not be read: "Failed to read file: " and what went wrong.
    static TelemetryExtractionError readFailed(const std::string& description) {
        return decodeFailed("Failed to read file: " + description);
    }

    Case errorCase() const noexcept { return errorCase_; }
    std::string message() const { return what(); }

  private:
    Case errorCase_;
};

}  // namespace skelder
