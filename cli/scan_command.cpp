#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "cli/speed_unit_option.hpp"
#include "export/file_discovery.hpp"
#include "media/asset.hpp"
#include "telemetry/quick_scan.hpp"

namespace skelder::cli {
namespace {

nlohmann::json optionalNumber(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json statsJSON(const QuickTelemetryStats& stats) {
    return {{"maxSpeedMPH", stats.maxSpeedMPH},
            {"maxSpeedMps", stats.maxSpeedMps},
            {"maxRPM", stats.maxRPM},
            {"maxCombinedG", stats.maxCombinedG},
            {"peakCombinedGSecond", optionalNumber(stats.peakCombinedGSecond)},
            {"wotSeconds", stats.wotSeconds},
            {"durationSeconds", optionalNumber(stats.durationSeconds)},
            {"fileSizeBytes", stats.fileSizeBytes}};
}

DroppedFileItem scan(const std::filesystem::path& file) {
    DroppedFileItem item{file, QuickScanScanning{}};
    try {
        const BasicTelemetryExtractionService extractor;
        item.quickScanStatus =
            QuickScanDone{quickStats(extractor, file, media::loadVideoDurationSeconds)};
    } catch (const std::exception& error) {
        item.quickScanStatus = QuickScanFailed{errorText(error)};
    }
    return item;
}

}  // namespace

void addScanCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "scan", "Summarise recordings: top speed, top rpm, wide-open throttle, peak G, duration");
    auto inputs = std::make_shared<std::vector<std::string>>();
    auto json = std::make_shared<bool>(false);
    auto unitName = std::make_shared<std::string>(speedUnitName(kDefaultSpeedUnit));
    command->add_option("FILE_OR_FOLDER", *inputs, "Recordings, or folders searched for .mp4 files")
        ->required();
    command->add_flag("--json", *json, "Print one JSON array instead of lines");
    addSpeedUnitOption(*command, *unitName);
    command->callback([inputs, json, unitName, &exitStatus] {
        const std::optional<SpeedUnit> unit = chosenSpeedUnit(*unitName);
        if (!unit) {
            exitStatus = 1;
            return;
        }
        std::vector<std::filesystem::path> items(inputs->begin(), inputs->end());
        std::vector<std::filesystem::path> files;
        // Folders are searched; files are scanned whatever their name, so that a wrong file
        // is reported rather than silently skipped.
        for (const auto& item : items) {
            std::error_code error;
            if (std::filesystem::is_directory(item, error)) {
                const auto found = mp4Files(item);
                files.insert(files.end(), found.begin(), found.end());
            } else {
                files.push_back(item);
            }
        }
        files = uniqueURLs(files);

        nlohmann::json results = nlohmann::json::array();
        bool allScanned = true;
        for (const auto& file : files) {
            const DroppedFileItem item = scan(file);
            const auto* failed = std::get_if<QuickScanFailed>(&item.quickScanStatus);
            allScanned = allScanned && failed == nullptr;
            if (!*json) {
                fmt::print("{}  {}  {}\n", file.filename().string(), item.durationText(),
                           item.statusText(*unit));
                std::fflush(stdout);
                // The line names the kind of failure; the reason itself (a read that failed,
                // the table that is broken) goes to standard error.
                if (failed != nullptr)
                    fmt::print(stderr, "{}: {}\n", file.string(), failed->description);
                continue;
            }
            // JSON keeps the statistics line of the file list, in mph, whatever the unit.
            nlohmann::json entry{{"path", file.string()},
                                 {"name", file.filename().string()},
                                 {"status", failed ? "failed" : "done"},
                                 {"statusText", item.statusText()},
                                 {"durationText", item.durationText()}};
            if (failed) {
                entry["error"] = failed->description;
            } else {
                entry["stats"] = statsJSON(std::get<QuickScanDone>(item.quickScanStatus).stats);
            }
            results.push_back(std::move(entry));
        }
        if (*json)
            fmt::print("{}\n", results.dump(2));
        if (files.empty()) {
            fmt::print(stderr, "No MP4 files found\n");
            allScanned = false;
        }
        exitStatus = allScanned ? 0 : 1;
    });
}

}  // namespace skelder::cli
