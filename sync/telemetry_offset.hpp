#pragma once

// Finds the telemetry advance of a recording from its own sound: the engine's pitch follows its
// speed, so the shift that best lines up changes of the sound's log frequency with changes of the
// telemetry's log engine speed is the advance that puts the HUD's engine speed in step with what
// is heard. Working on changes of logarithms cancels the unknown factor between engine speed and
// pitch that the number of cylinders sets.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>

namespace skelder::sync {

struct TelemetryOffsetOptions {
    // Advances considered, from -this to +this; the telemetry advance setting spans 1500 ms.
    double searchRangeMilliseconds = 1500;
    // At most this much telemetry time is analysed: the stretches where the engine speed changes
    // most, so a long recording costs no more than a few minutes of sound.
    double longestAnalysisSeconds = 240;
};

// Why a recording gives no estimate.
enum class NoEstimateReason {
    noAudio,            // the file has no audio track
    silentAudio,        // the sound is silent where the engine speed changes
    steadyEngineSpeed,  // the engine speed hardly changes, so there is nothing to line up
    noEngineSound,      // no change in the sound's pitch follows the engine speed
};

// The text shown for a reason, e.g. "the recording has no audio track".
std::string noEstimateText(NoEstimateReason reason);

// An estimate is trusted when its confidence reaches this. The confidence is the peak
// correlation between the sound's and the telemetry's pitch changes minus the highest
// correlation of any shift outside the peak's own lobe: a clear, single best alignment scores
// high, a weak or ambiguous one (a repeated pattern, noise, music) low.
inline constexpr double kTrustedConfidence = 0.25;

struct TelemetryOffsetEstimate {
    // The "Telemetry Advance" in milliseconds (positive: telemetry shown earlier), to the
    // millisecond; absent when there is no estimate.
    std::optional<double> offsetMilliseconds;
    double confidence = 0;  // see kTrustedConfidence; 0 without an estimate
    bool trusted = false;   // confidence >= kTrustedConfidence
    std::optional<NoEstimateReason> noEstimateReason;  // set exactly when there is no estimate
    double analysedSeconds = 0;                        // telemetry time the estimate rests on
};

// A recording whose sound cannot be read; the message is the text the user sees.
class TelemetryOffsetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the recording's telemetry and the sound of its changing stretches and estimates the
// telemetry advance. Throws TelemetryExtractionError (the telemetry cannot be read),
// TelemetryOffsetError (the sound cannot be decoded), std::filesystem::filesystem_error (the
// file cannot be queried) and CancellationError once `stop` is requested.
TelemetryOffsetEstimate estimateTelemetryOffset(const std::filesystem::path& recording,
                                                const TelemetryOffsetOptions& options = {},
                                                std::stop_token stop = {});

}  // namespace skelder::sync
