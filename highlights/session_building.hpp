#pragma once

#include <filesystem>
#include <stop_token>
#include <utility>

#include "highlights/filter_mode.hpp"
#include "highlights/session.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder {

// Scores and plans one extraction (with feature buckets and packet timing) under a mode.
TelemetrySession buildTelemetrySession(const ParsedTelemetryData& data,
                                       HighlightFilterMode filterMode);

// The sessions of both modes from one extraction.
struct LenientAndStrictSessions {
    TelemetrySession lenient;  // "maybeInteresting"
    TelemetrySession strict;   // "onlyBest"
};

// Extracts the file in full and builds its session. Cancellation is checked once, before
// extraction starts (CancellationError); extraction errors pass through unchanged.
TelemetrySession extractTelemetrySession(const TelemetryExtractionService& extractor,
                                         const std::filesystem::path& url,
                                         HighlightFilterMode filterMode, std::stop_token stop);

// Extracts the file once and builds the lenient, then the strict session.
LenientAndStrictSessions extractLenientAndStrictSessions(
    const TelemetryExtractionService& extractor, const std::filesystem::path& url,
    std::stop_token stop);

}  // namespace skelder
