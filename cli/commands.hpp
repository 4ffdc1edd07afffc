#pragma once

#include <CLI/CLI.hpp>

namespace skelder::cli {

// Each command registers its subcommand and returns the exit status when it ran.
void addTelemetryCommand(CLI::App& app, int& exitStatus);
void addSampleCommand(CLI::App& app, int& exitStatus);
void addScanCommand(CLI::App& app, int& exitStatus);
void addExportCommand(CLI::App& app, int& exitStatus);
void addHudCommand(CLI::App& app, int& exitStatus);
void addHighlightsCommand(CLI::App& app, int& exitStatus);
void addSyncCommand(CLI::App& app, int& exitStatus);
void addLapsCommand(CLI::App& app, int& exitStatus);

}  // namespace skelder::cli
