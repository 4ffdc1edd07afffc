#include "cli/automatic_offsets.hpp"

#include <fmt/format.h>

#include "cli/error_text.hpp"
#include "core/cancellation.hpp"
#include "sync/telemetry_offset.hpp"

namespace skelder::cli {
namespace {

// Why the fallback is used, for the line that says so.
std::string whyNotEstimated(const sync::TelemetryOffsetEstimate& estimate) {
    if (!estimate.offsetMilliseconds)
        return "no estimate: " + sync::noEstimateText(*estimate.noEstimateReason);
    return fmt::format("the estimate of {:+.0f} ms is not trusted, confidence {:.2f}",
                       *estimate.offsetMilliseconds, estimate.confidence);
}

}  // namespace

TelemetryOffsets estimateTelemetryOffsets(const std::vector<std::filesystem::path>& inputs,
                                          double fallbackMilliseconds,
                                          const std::function<void(const std::string&)>& say,
                                          std::stop_token stop) {
    TelemetryOffsets offsets(fallbackMilliseconds);
    for (const std::filesystem::path& input : inputs) {
        const std::string name = input.filename().string();
        std::string reason;
        try {
            const sync::TelemetryOffsetEstimate estimate =
                sync::estimateTelemetryOffset(input, {}, stop);
            if (estimate.trusted && estimate.offsetMilliseconds) {
                offsets.millisecondsByInput[input] = *estimate.offsetMilliseconds;
                say(
                    fmt::format("{}: telemetry advance {:+.0f} ms from the engine sound "
                                "(confidence {:.2f})",
                                name, *estimate.offsetMilliseconds, estimate.confidence));
                continue;
            }
            reason = whyNotEstimated(estimate);
        } catch (const CancellationError&) {
            throw;
        } catch (const std::exception& error) {
            // The export itself reports a file it cannot read.
            reason = "no estimate: " + errorText(error);
        }
        say(fmt::format("{}: telemetry advance {:+.0f} ms as set ({})", name, fallbackMilliseconds,
                        reason));
    }
    return offsets;
}

}  // namespace skelder::cli
