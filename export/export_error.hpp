#pragma once

#include <stdexcept>
#include <string>

namespace skelder {

// A failed export; the message is what the user sees.
class ExportError : public std::runtime_error {
  public:
    enum class Case {
        exportFailed,
        missingVideoTrack,
        compositionTrackFailed,
        unsupportedOutputType,
        noHighlightsSelected,
        noLapsFound,
    };

    static ExportError exportFailed(const std::string& message) {
        return {Case::exportFailed, message};
    }
    // message + ": " + detail when the library reported a detail, else message alone.
    static ExportError exportFailed(const std::string& message, const std::string& detail) {
        return {Case::exportFailed, detail.empty() ? message : message + ": " + detail};
    }
    static ExportError missingVideoTrack() {
        return {Case::missingVideoTrack, "Input has no video track"};
    }
    static ExportError compositionTrackFailed() {
        return {Case::compositionTrackFailed, "Failed to create composition track"};
    }
    static ExportError unsupportedOutputType() {
        return {Case::unsupportedOutputType, "No supported output file type available"};
    }
    static ExportError noHighlightsSelected() {
        return {Case::noHighlightsSelected, "No highlight segments were selected"};
    }
    // A best-laps reel whose recordings have no complete lap.
    static ExportError noLapsFound() {
        return {Case::noLapsFound, "No recording has a complete lap"};
    }

    Case errorCase() const noexcept { return case_; }

  private:
    ExportError(Case errorCase, const std::string& message)
        : std::runtime_error(message), case_(errorCase) {}
    Case case_;
};

}  // namespace skelder
