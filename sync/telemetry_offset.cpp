#include "sync/telemetry_offset.hpp"

#include <algorithm>
#include <cmath>

#include "core/cancellation.hpp"
#include "media/media_error.hpp"
#include "media/mono_audio_decoder.hpp"
#include "sync/engine_speed_track.hpp"
#include "sync/pitch_change_track.hpp"
#include "sync/shift_search.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::sync {
namespace {

// Less change than this over the whole recording is too little to line up.
constexpr double kLeastChangingSeconds = 2;
// Sound quieter than this (root mean square, about -70 dBFS) counts as silent.
constexpr double kSilentRms = 3e-4;
// A best correlation below this means the sound does not follow the engine speed at all.
constexpr double kLeastCorrelation = 0.1;
// Extra sound decoded around what the search needs, so edge frames are complete.
constexpr double kMarginSeconds = 0.05;

double alignDown(double seconds) {
    return std::floor(seconds / kPitchFrameSeconds) * kPitchFrameSeconds;
}
double alignUp(double seconds) {
    return std::ceil(seconds / kPitchFrameSeconds) * kPitchFrameSeconds;
}

TelemetryOffsetEstimate noEstimate(NoEstimateReason reason, double analysedSeconds = 0) {
    TelemetryOffsetEstimate estimate;
    estimate.noEstimateReason = reason;
    estimate.analysedSeconds = analysedSeconds;
    return estimate;
}

void validate(const TelemetryOffsetOptions& options) {
    if (!(options.searchRangeMilliseconds >= 0 && options.searchRangeMilliseconds <= 10'000))
        throw std::invalid_argument("the search range must be from 0 to 10000 ms");
    if (!(options.longestAnalysisSeconds > 0))
        throw std::invalid_argument("the analysed length must be positive");
}

// The stretches of sound to analyse: the telemetry's changing stretches widened by everything
// the search looks at around them, on the frame grid, overlaps joined.
std::vector<TimeStretch> soundStretches(const std::vector<TimeStretch>& changing,
                                        double rangeSeconds) {
    const double widening =
        rangeSeconds + kPitchChangeSpanSeconds / 2 + kPitchWindowSeconds / 2 + kMarginSeconds;
    std::vector<TimeStretch> sound;
    for (const TimeStretch& stretch : changing) {
        const TimeStretch wide{alignDown(stretch.startSeconds - widening),
                               alignUp(stretch.endSeconds + widening)};
        if (!sound.empty() && sound.back().endSeconds >= wide.startSeconds) {
            sound.back().endSeconds = std::max(sound.back().endSeconds, wide.endSeconds);
        } else {
            sound.push_back(wide);
        }
    }
    return sound;
}

}  // namespace

std::string noEstimateText(NoEstimateReason reason) {
    switch (reason) {
        case NoEstimateReason::noAudio:
            return "the recording has no audio track";
        case NoEstimateReason::silentAudio:
            return "the sound is silent where the engine speed changes";
        case NoEstimateReason::steadyEngineSpeed:
            return "the engine speed hardly changes";
        case NoEstimateReason::noEngineSound:
            return "no engine sound follows the engine speed";
    }
    return "no estimate";
}

TelemetryOffsetEstimate estimateTelemetryOffset(const std::filesystem::path& recording,
                                                const TelemetryOffsetOptions& options,
                                                std::stop_token stop) {
    validate(options);
    const ParsedTelemetryData telemetry =
        BasicTelemetryExtractionService().extractTelemetry(recording, false, false);
    throwIfCancelled(stop);
    const DecisecondGrid& grid = telemetry.overlaySamplesByDecisecond;
    const double rangeSeconds = options.searchRangeMilliseconds / 1000;

    try {
        media::MonoAudioDecoder decoder(recording, kPitchSampleRate);
        if (!decoder.hasAudio())
            return noEstimate(NoEstimateReason::noAudio);
        const ChangingStretches changing =
            findChangingStretches(grid, options.longestAnalysisSeconds);
        if (changing.changingSeconds < kLeastChangingSeconds || changing.stretches.empty())
            return noEstimate(NoEstimateReason::steadyEngineSpeed);
        double analysedSeconds = 0;
        for (const TimeStretch& stretch : changing.stretches)
            analysedSeconds += stretch.seconds();

        const std::vector<double> kernel = pitchSmoothingKernel();
        const double telemetryReach = rangeSeconds + kPitchChangeSpanSeconds + kMarginSeconds;
        std::vector<AnalysedStretch> analysed;
        double squares = 0;
        std::size_t decoded = 0;
        double weight = 0;
        for (const TimeStretch& stretch : soundStretches(changing.stretches, rangeSeconds)) {
            const media::MonoAudio audio =
                decoder.decode(stretch.startSeconds, stretch.seconds(), stop);
            for (const float sample : audio.samples)
                squares += static_cast<double>(sample) * sample;
            decoded += audio.decodedSamples;
            AnalysedStretch part{trackPitchChanges(audio, stop),
                                 SmoothedLogRpm(grid, stretch.startSeconds - telemetryReach,
                                                stretch.endSeconds + telemetryReach, kernel)};
            for (const PitchChange& change : part.changes)
                weight += change.weight;
            analysed.push_back(std::move(part));
        }
        if (decoded == 0 || std::sqrt(squares / static_cast<double>(decoded)) < kSilentRms ||
            weight == 0)
            return noEstimate(NoEstimateReason::silentAudio, analysedSeconds);

        const std::optional<ShiftSearchResult> found =
            searchBestShift(analysed, rangeSeconds, stop);
        if (!found || found->peakCorrelation < kLeastCorrelation)
            return noEstimate(NoEstimateReason::noEngineSound, analysedSeconds);
        const ShiftSearchResult& search = *found;
        TelemetryOffsetEstimate estimate;
        estimate.offsetMilliseconds = std::round(search.offsetSeconds * 1000);
        // A peak at the end of the range may belong to a larger advance outside it.
        estimate.confidence =
            search.peakAtRangeEnd
                ? 0
                : std::max(0.0, search.peakCorrelation - search.runnerUpCorrelation);
        estimate.trusted = estimate.confidence >= kTrustedConfidence;
        estimate.analysedSeconds = analysedSeconds;
        return estimate;
    } catch (const media::MediaError& error) {
        throw TelemetryOffsetError(std::string("Cannot read the sound: ") + error.what());
    }
}

}  // namespace skelder::sync
