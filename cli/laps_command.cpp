#include <fmt/format.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "cli/interrupt.hpp"
#include "cli/speed_unit_option.hpp"
#include "core/cancellation.hpp"
#include "laps/lap_analysis.hpp"
#include "laps/lap_texts.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::cli {
namespace {

constexpr double kMetresPerMile = 1609.344;

struct FileOutcome {
    std::string path;
    std::optional<laps::LapAnalysis> analysis;
    std::string error;
};

std::string lengthText(double metres, SpeedUnit unit) {
    return unit == SpeedUnit::kmh ? fmt::format("{:.2f} km", metres / 1000)
                                  : fmt::format("{:.2f} mi", metres / kMetresPerMile);
}

// "lap.mp4: 4 laps of 3.18 km, best lap 3 (1:28.840)", a line per lap with its time, its gap to
// the best ("best" for the best) and its top speed, then the out-lap and the in-lap; or
// "lap.mp4: no laps: ..." or "lap.mp4: error: ...".
void printText(const FileOutcome& outcome, SpeedUnit unit) {
    if (!outcome.analysis) {
        fmt::print("{}: error: {}\n", outcome.path, outcome.error);
        return;
    }
    const laps::LapAnalysis& analysis = *outcome.analysis;
    const laps::Lap* best = analysis.bestLap();
    if (analysis.noLaps || best == nullptr) {
        fmt::print("{}: no laps: {}\n", outcome.path,
                   laps::noLapsText(analysis.noLaps.value_or(laps::NoLapsReason::noCompleteLap)));
        return;
    }
    fmt::print("{}: {} lap{} of {}, best lap {} ({})\n", outcome.path, analysis.laps.size(),
               analysis.laps.size() == 1 ? "" : "s", lengthText(analysis.lapLengthMetres, unit),
               best->number, laps::lapTimeText(best->timeSeconds()));
    for (const laps::Lap& lap : analysis.laps) {
        const std::string gap =
            lap.best ? "best" : laps::lapGapText(lap.timeSeconds() - best->timeSeconds());
        fmt::print("  lap {:<4} {:>9}  {:<8} {:.0f} {}\n", lap.number,
                   laps::lapTimeText(lap.timeSeconds()), gap, speedInUnit(lap.topSpeedMps, unit),
                   speedUnitText(unit));
    }
    const auto partial = [](const char* name, const std::optional<laps::PartialLap>& lap) {
        if (lap) {
            fmt::print("  {:<8} {:>9}  partial\n", name,
                       laps::lapTimeText(lap->endSeconds - lap->startSeconds));
        }
    };
    partial("out-lap", analysis.outLap);
    partial("in-lap", analysis.inLap);
}

nlohmann::json partialJSON(const std::optional<laps::PartialLap>& lap) {
    if (!lap) {
        return nullptr;
    }
    return {{"startSeconds", lap->startSeconds}, {"endSeconds", lap->endSeconds}};
}

nlohmann::json toJSON(const FileOutcome& outcome) {
    nlohmann::json file{{"path", outcome.path}};
    if (!outcome.analysis) {
        file["error"] = outcome.error;
        return file;
    }
    const laps::LapAnalysis& analysis = *outcome.analysis;
    file["lapLengthMeters"] = analysis.lapLengthMetres;
    nlohmann::json lapList = nlohmann::json::array();
    for (const laps::Lap& lap : analysis.laps) {
        lapList.push_back({{"number", lap.number},
                           {"startSeconds", lap.startSeconds},
                           {"endSeconds", lap.endSeconds},
                           {"timeSeconds", lap.timeSeconds()},
                           {"best", lap.best}});
    }
    file["laps"] = lapList;
    file["outLap"] = partialJSON(analysis.outLap);
    file["inLap"] = partialJSON(analysis.inLap);
    nlohmann::json map = nlohmann::json::array();
    for (const laps::MapPoint& point : analysis.map) {
        map.push_back({point.x, point.y});
    }
    file["map"] = map;
    file["noLaps"] = analysis.noLaps ? nlohmann::json(laps::noLapsText(*analysis.noLaps))
                                     : nlohmann::json(nullptr);
    return file;
}

}  // namespace

void addLapsCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "laps",
        "Find each recording's laps from its telemetry alone: every lap timed line to line, the "
        "best one, the out-lap and in-lap, and the circuit's outline");
    auto files = std::make_shared<std::vector<std::string>>();
    auto lineAt = std::make_shared<std::optional<double>>();
    auto unitName = std::make_shared<std::string>(speedUnitName(kDefaultSpeedUnit));
    auto json = std::make_shared<bool>(false);
    command->add_option("FILE", *files, "Recordings (.mp4)")->required();
    command
        ->add_option("--line-at", *lineAt,
                     "Put the start/finish line where the car was at this moment (telemetry "
                     "seconds); by default it is at the end of the longest full-throttle stretch")
        ->type_name("SECONDS");
    addSpeedUnitOption(*command, *unitName);
    command->add_flag("--json", *json, "Print one JSON array with an object per file");
    command->callback([files, lineAt, unitName, json, &exitStatus] {
        const std::optional<SpeedUnit> unit = chosenSpeedUnit(*unitName);
        if (!unit) {
            exitStatus = 1;
            return;
        }
        const InterruptToStop interrupt;
        const BasicTelemetryExtractionService extractor;
        nlohmann::json report = nlohmann::json::array();
        bool first = true;
        for (const std::string& path : *files) {
            FileOutcome outcome{path, std::nullopt, {}};
            try {
                const ParsedTelemetryData telemetry =
                    extractor.extractTelemetry(path, false, false, interrupt.token());
                outcome.analysis = laps::analyseLaps(telemetry.overlaySamplesByDecisecond,
                                                     {.lineAtSeconds = *lineAt}, interrupt.token());
            } catch (const CancellationError&) {
                exitStatus = 130;
                return;
            } catch (const std::exception& error) {
                outcome.error = errorText(error);
                fmt::print(stderr, "{}: {}\n", path, outcome.error);
                exitStatus = 1;
            }
            if (*json) {
                report.push_back(toJSON(outcome));
                continue;
            }
            if (!first) {
                fmt::print("\n");
            }
            first = false;
            printText(outcome, *unit);
            std::fflush(stdout);
        }
        if (*json) {
            fmt::print("{}\n", report.dump(2));
        }
    });
}

}  // namespace skelder::cli
