#include <fmt/format.h>

#include <cstdio>
#include <string>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::cli {
namespace {

void printGridSummary(const ParsedTelemetryData& data) {
    const DecisecondGrid& grid = data.overlaySamplesByDecisecond;
    if (grid.empty()) {
        fmt::print("grid: empty; {} feature buckets\n", data.contiguousBuckets.size());
        return;
    }
    fmt::print("grid: {} deciseconds from {:.1f} s to {:.1f} s; {} feature buckets\n", grid.size(),
               static_cast<double>(grid.firstKey()) / 10.0,
               static_cast<double>(grid.lastKey()) / 10.0, data.contiguousBuckets.size());
}

// Reals are written in their shortest form that reads back to the same double.
void printGridCSV(const DecisecondGrid& grid) {
    std::string out = "decisecond,seconds,speedMps,throttle,brake,rpm,gear,latG,lonG,steeringDeg\n";
    for (const auto& [decisecond, s] : grid) {
        fmt::format_to(std::back_inserter(out), "{},{},{},{},{},{},{},{},{},{}\n", decisecond,
                       static_cast<double>(decisecond) / 10.0, s.speedMps, s.throttle, s.brake,
                       s.rpm, s.gear, s.latG, s.lonG, s.steeringDeg);
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

void addTelemetryCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "telemetry", "Read the telemetry track of a recording and print its timing report");
    auto file = std::make_shared<std::string>();
    auto csv = std::make_shared<bool>(false);
    command->add_option("FILE", *file, "Recording (.mp4)")->required();
    command->add_flag("--csv", *csv, "Write the decisecond grid as CSV instead of the report");
    command->callback([file, csv, &exitStatus] {
        try {
            const BasicTelemetryExtractionService service;
            const ParsedTelemetryData data = service.extractTelemetry(*file, true, true);
            if (*csv) {
                printGridCSV(data.overlaySamplesByDecisecond);
                return;
            }
            for (const std::string& line :
                 telemetryTimingReport(data.packetRecords, data.overlaySamplesByDecisecond,
                                       data.headerMinusPTSSeconds)) {
                fmt::print("{}\n", line);
            }
            fmt::print("\n");
            printGridSummary(data);
        } catch (const std::exception& error) {
            fmt::print(stderr, "{}\n", errorText(error));
            exitStatus = 1;
        }
    });
}

}  // namespace skelder::cli
