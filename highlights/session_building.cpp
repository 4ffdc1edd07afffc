#include "highlights/session_building.hpp"

#include "core/cancellation.hpp"
#include "highlights/planning.hpp"
#include "highlights/scoring.hpp"

namespace skelder {
namespace {

TelemetrySession buildSession(const ParsedTelemetryData& data, HighlightFilterMode filterMode,
                              std::shared_ptr<const DecisecondGrid> samples) {
    std::vector<FeatureBucket> buckets;
    buckets.reserve(data.contiguousBuckets.size());
    for (const TimestampedFeatureBucket& timestamped : data.contiguousBuckets)
        buckets.push_back(timestamped.bucket);
    const std::vector<double> scores = scoreHighlightSeconds(buckets, filterMode);
    const std::vector<HighlightSegment> segments =
        planHighlightSegments(data.contiguousBuckets, scores, filterMode);

    TelemetrySession session;
    session.inputURL = data.inputURL;
    session.fileSizeBytes = data.fileSizeBytes;
    session.highlightSegmentLines = highlightDebugLines(segments);
    session.highlightSegmentLines.emplace_back();
    session.highlightSegmentLines.emplace_back("timing debug");
    // The samples may have been moved out of `data` already.
    for (std::string& line :
         telemetryTimingReport(data.packetRecords, *samples, data.headerMinusPTSSeconds)) {
        session.highlightSegmentLines.push_back(std::move(line));
    }
    session.highlightSegments.reserve(segments.size());
    for (const HighlightSegment& segment : segments)
        session.highlightSegments.push_back(PlannedSegment::from(segment));
    session.overlaySamplesByDecisecond = std::move(samples);
    return session;
}

ParsedTelemetryData extractForSessions(const TelemetryExtractionService& extractor,
                                       const std::filesystem::path& url, std::stop_token stop) {
    throwIfCancelled(stop);
    return extractor.extractTelemetry(url, true, true, std::move(stop));
}

}  // namespace

TelemetrySession buildTelemetrySession(const ParsedTelemetryData& data,
                                       HighlightFilterMode filterMode) {
    return buildSession(data, filterMode,
                        std::make_shared<const DecisecondGrid>(data.overlaySamplesByDecisecond));
}

TelemetrySession extractTelemetrySession(const TelemetryExtractionService& extractor,
                                         const std::filesystem::path& url,
                                         HighlightFilterMode filterMode, std::stop_token stop) {
    ParsedTelemetryData data = extractForSessions(extractor, url, std::move(stop));
    auto samples =
        std::make_shared<const DecisecondGrid>(std::move(data.overlaySamplesByDecisecond));
    return buildSession(data, filterMode, std::move(samples));
}

LenientAndStrictSessions extractLenientAndStrictSessions(
    const TelemetryExtractionService& extractor, const std::filesystem::path& url,
    std::stop_token stop) {
    ParsedTelemetryData data = extractForSessions(extractor, url, std::move(stop));
    auto samples =
        std::make_shared<const DecisecondGrid>(std::move(data.overlaySamplesByDecisecond));
    TelemetrySession lenient = buildSession(data, HighlightFilterMode::maybeInteresting, samples);
    TelemetrySession strict = buildSession(data, HighlightFilterMode::onlyBest, samples);
    return {std::move(lenient), std::move(strict)};
}

}  // namespace skelder
