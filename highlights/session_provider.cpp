#include "highlights/session_provider.hpp"

#include <stdexcept>
#include <string>

#include "highlights/session_building.hpp"
#include "highlights/session_key.hpp"
#include "highlights/tiers.hpp"
#include "highlights/utility_thread.hpp"

namespace skelder {

TelemetrySessionProvider::TelemetrySessionProvider(
    std::shared_ptr<const TelemetryExtractionService> telemetryExtractor,
    std::shared_ptr<TelemetrySessionCache> cache)
    : telemetryExtractor_(std::move(telemetryExtractor)), cache_(std::move(cache)) {
    if (!telemetryExtractor_ || !cache_)
        throw std::invalid_argument("TelemetrySessionProvider needs an extractor and a cache");
}

// The background work stores what it built itself: a caller that stopped waiting does not
// throw away an extraction that already ran, and the next request finds it in the cache.
TelemetrySession TelemetrySessionProvider::loadSession(const std::filesystem::path& url,
                                                       HighlightFilterMode filterMode,
                                                       std::stop_token stop) const {
    const std::string key = telemetrySessionKey(url, filterMode);
    if (auto cached = cache_->lookup(key))
        return std::move(*cached);
    return runOnUtilityThread(
        [extractor = telemetryExtractor_, cache = cache_, url, filterMode,
         key](std::stop_token workStop) {
            TelemetrySession session =
                extractTelemetrySession(*extractor, url, filterMode, std::move(workStop));
            cache->store(session, key);
            return session;
        },
        std::move(stop));
}

TieredTelemetrySession TelemetrySessionProvider::loadTieredSession(const std::filesystem::path& url,
                                                                   HighlightFilterMode filterMode,
                                                                   std::stop_token stop) const {
    if (filterMode == HighlightFilterMode::onlyBest)
        return allBestTiers(loadSession(url, filterMode, std::move(stop)));

    const std::string lenientKey = telemetrySessionKey(url, HighlightFilterMode::maybeInteresting);
    const std::string strictKey = telemetrySessionKey(url, HighlightFilterMode::onlyBest);
    if (const auto lenient = cache_->lookup(lenientKey)) {
        if (const auto strict = cache_->lookup(strictKey))
            return mergeTieredSegments(*lenient, *strict);
    }
    const LenientAndStrictSessions sessions = runOnUtilityThread(
        [extractor = telemetryExtractor_, cache = cache_, url, lenientKey,
         strictKey](std::stop_token workStop) {
            LenientAndStrictSessions built =
                extractLenientAndStrictSessions(*extractor, url, std::move(workStop));
            cache->store(built.lenient, lenientKey);
            cache->store(built.strict, strictKey);
            return built;
        },
        std::move(stop));
    return mergeTieredSegments(sessions.lenient, sessions.strict);
}

}  // namespace skelder
