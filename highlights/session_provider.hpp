#pragma once

#include <filesystem>
#include <memory>
#include <stop_token>

#include "highlights/filter_mode.hpp"
#include "highlights/session.hpp"
#include "highlights/session_cache.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder {

// Hands out analysed sessions. Both operations block the calling thread while the work runs
// in the background; stopping `stop` ends them with CancellationError. They fail with the
// extraction errors (TelemetryExtractionError, std::filesystem::filesystem_error).
class TelemetrySessionProviding {
  public:
    virtual ~TelemetrySessionProviding() = default;

    virtual TelemetrySession loadSession(const std::filesystem::path& url,
                                         HighlightFilterMode filterMode,
                                         std::stop_token stop) const = 0;
    // In "onlyBest" the strict session with every segment `best`; in "maybeInteresting" the
    // merge of both plans with their tiers.
    virtual TieredTelemetrySession loadTieredSession(const std::filesystem::path& url,
                                                     HighlightFilterMode filterMode,
                                                     std::stop_token stop) const = 0;
};

// Builds sessions on detached utility-priority threads and keeps them in a shared cache, so
// an unchanged file is extracted once per mode. Copies share the extractor and the cache.
class TelemetrySessionProvider final : public TelemetrySessionProviding {
  public:
    // Both must be non-null (std::invalid_argument otherwise).
    TelemetrySessionProvider(std::shared_ptr<const TelemetryExtractionService> telemetryExtractor,
                             std::shared_ptr<TelemetrySessionCache> cache);

    TelemetrySession loadSession(const std::filesystem::path& url, HighlightFilterMode filterMode,
                                 std::stop_token stop) const override;
    TieredTelemetrySession loadTieredSession(const std::filesystem::path& url,
                                             HighlightFilterMode filterMode,
                                             std::stop_token stop) const override;

    const std::shared_ptr<TelemetrySessionCache>& cache() const { return cache_; }

  private:
    std::shared_ptr<const TelemetryExtractionService> telemetryExtractor_;
    std::shared_ptr<TelemetrySessionCache> cache_;
};

}  // namespace skelder
