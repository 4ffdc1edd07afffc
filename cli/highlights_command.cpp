#include <fmt/format.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "highlights/session_provider.hpp"

namespace skelder::cli {
namespace {

struct FileOutcome {
    std::string path;
    std::optional<TieredTelemetrySession> result;
    std::string error;
};

HighlightTier tierOf(const TieredTelemetrySession& tiered, const PlannedSegment& segment) {
    const auto found = tiered.tiers.find(PlannedSegmentKey::of(segment));
    return found == tiered.tiers.end() ? HighlightTier::best : found->second;
}

// "== lap.mp4 (Only Best Clips) ==", the session lines, a blank line, then one line per
// segment: its seconds, duration, tier and scores.
void printText(const FileOutcome& outcome, HighlightFilterMode mode) {
    fmt::print("== {} ({}) ==\n", outcome.path, displayTitle(mode));
    if (!outcome.result) {
        fmt::print("error: {}\n", outcome.error);
        return;
    }
    const TieredTelemetrySession& tiered = *outcome.result;
    for (const std::string& line : tiered.session.highlightSegmentLines)
        fmt::print("{}\n", line);
    const auto& segments = tiered.session.highlightSegments;
    if (segments.empty()) {
        fmt::print("\nsegments: none\n");
        return;
    }
    fmt::print("\nsegments: {}\n", segments.size());
    for (const PlannedSegment& s : segments) {
        fmt::print("  {:>5}..{:<5} {:>4} s  {:<15}  total={:8.3f} avg={:7.3f} peak={:7.3f}\n",
                   s.startSecond, s.endSecond, s.durationSeconds, textForm(tierOf(tiered, s)),
                   s.totalScore, s.averageScore, s.peakScore);
    }
}

nlohmann::json toJSON(const FileOutcome& outcome, HighlightFilterMode mode) {
    nlohmann::json file{{"path", outcome.path}, {"filterMode", textForm(mode)}};
    if (!outcome.result) {
        file["error"] = outcome.error;
        return file;
    }
    const TieredTelemetrySession& tiered = *outcome.result;
    nlohmann::json segments = nlohmann::json::array();
    for (const PlannedSegment& s : tiered.session.highlightSegments) {
        segments.push_back({{"startSecond", s.startSecond},
                            {"endSecond", s.endSecond},
                            {"durationSeconds", s.durationSeconds},
                            {"totalScore", s.totalScore},
                            {"averageScore", s.averageScore},
                            {"peakScore", s.peakScore},
                            {"tier", textForm(tierOf(tiered, s))}});
    }
    file["segments"] = std::move(segments);
    file["lines"] = tiered.session.highlightSegmentLines;
    return file;
}

}  // namespace

void addHighlightsCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "highlights", "Score every second of recordings and print the planned highlight segments");
    auto files = std::make_shared<std::vector<std::string>>();
    auto filter = std::make_shared<std::string>("onlyBest");
    auto json = std::make_shared<bool>(false);
    command->add_option("FILE", *files, "Recordings (.mp4)")->required();
    command
        ->add_option("--filter", *filter,
                     "onlyBest: the strict plan only; maybeInteresting: the lenient plan as "
                     "well, each segment tiered best or maybeAdditional")
        ->check(CLI::IsMember({"onlyBest", "maybeInteresting"}))
        ->capture_default_str();
    command->add_flag("--json", *json, "Print one JSON array with an object per file");
    command->callback([files, filter, json, &exitStatus] {
        const HighlightFilterMode mode =
            highlightFilterModeFromText(*filter).value_or(HighlightFilterMode::onlyBest);
        const TelemetrySessionProvider provider(std::make_shared<BasicTelemetryExtractionService>(),
                                                std::make_shared<TelemetrySessionCache>());
        nlohmann::json report = nlohmann::json::array();
        bool first = true;
        for (const std::string& path : *files) {
            FileOutcome outcome{path, std::nullopt, {}};
            try {
                outcome.result = provider.loadTieredSession(path, mode, {});
            } catch (const std::exception& error) {
                outcome.error = errorText(error);
                fmt::print(stderr, "{}\n", outcome.error);
                exitStatus = 1;
            }
            if (*json) {
                report.push_back(toJSON(outcome, mode));
                continue;
            }
            if (!first)
                fmt::print("\n");
            first = false;
            printText(outcome, mode);
            std::fflush(stdout);
        }
        if (*json)
            fmt::print("{}\n", report.dump(2));
    });
}

}  // namespace skelder::cli
