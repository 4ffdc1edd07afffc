#include <fmt/format.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "cli/interrupt.hpp"
#include "core/cancellation.hpp"
#include "sync/telemetry_offset.hpp"

namespace skelder::cli {
namespace {

struct FileOutcome {
    std::string path;
    std::optional<sync::TelemetryOffsetEstimate> estimate;
    std::string error;
};

// "lap.mp4: +540 ms (confidence 0.73, trusted)", "lap.mp4: no estimate: the engine speed hardly
// changes" or "lap.mp4: error: ...".
std::string textLine(const FileOutcome& outcome) {
    if (!outcome.estimate)
        return fmt::format("{}: error: {}", outcome.path, outcome.error);
    const sync::TelemetryOffsetEstimate& estimate = *outcome.estimate;
    if (!estimate.offsetMilliseconds) {
        return fmt::format("{}: no estimate: {}", outcome.path,
                           sync::noEstimateText(*estimate.noEstimateReason));
    }
    return fmt::format("{}: {:+.0f} ms (confidence {:.2f}, {})", outcome.path,
                       *estimate.offsetMilliseconds, estimate.confidence,
                       estimate.trusted ? "trusted" : "not trusted");
}

nlohmann::json toJSON(const FileOutcome& outcome) {
    nlohmann::json file{{"path", outcome.path}};
    if (!outcome.estimate) {
        file["offsetMs"] = nullptr;
        file["confidence"] = 0.0;
        file["trusted"] = false;
        file["error"] = outcome.error;
        return file;
    }
    const sync::TelemetryOffsetEstimate& estimate = *outcome.estimate;
    if (estimate.offsetMilliseconds) {
        file["offsetMs"] = static_cast<long long>(*estimate.offsetMilliseconds);
    } else {
        file["offsetMs"] = nullptr;
        file["noEstimate"] = sync::noEstimateText(*estimate.noEstimateReason);
    }
    file["confidence"] = estimate.confidence;
    file["trusted"] = estimate.trusted;
    return file;
}

}  // namespace

void addSyncCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "sync",
        "Estimate each recording's telemetry advance from its engine sound (the value that puts "
        "the HUD's engine speed in step with what is heard)");
    auto files = std::make_shared<std::vector<std::string>>();
    auto json = std::make_shared<bool>(false);
    command->add_option("FILE", *files, "Recordings (.mp4)")->required();
    command->add_flag("--json", *json, "Print one JSON array with an object per file");
    command->callback([files, json, &exitStatus] {
        const InterruptToStop interrupt;
        nlohmann::json report = nlohmann::json::array();
        for (const std::string& path : *files) {
            FileOutcome outcome{path, std::nullopt, {}};
            try {
                outcome.estimate = sync::estimateTelemetryOffset(path, {}, interrupt.token());
            } catch (const CancellationError&) {
                exitStatus = 130;
                return;
            } catch (const std::exception& error) {
                outcome.error = errorText(error);
                fmt::print(stderr, "{}\n", outcome.error);
                exitStatus = 1;
            }
            if (*json) {
                report.push_back(toJSON(outcome));
            } else {
                fmt::print("{}\n", textLine(outcome));
                std::fflush(stdout);
            }
        }
        if (*json)
            fmt::print("{}\n", report.dump(2));
    });
}

}  // namespace skelder::cli
