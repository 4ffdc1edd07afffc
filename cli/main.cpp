#include <CLI/CLI.hpp>

#include "cli/commands.hpp"

int main(int argc, char** argv) {
    CLI::App app{"Skelder: telemetry, highlights and HUD overlays for Kovra track recordings",
                 "skelder"};
    app.require_subcommand(1);
    int exitStatus = 0;
    skelder::cli::addTelemetryCommand(app, exitStatus);
    skelder::cli::addSampleCommand(app, exitStatus);
    skelder::cli::addScanCommand(app, exitStatus);
    skelder::cli::addExportCommand(app, exitStatus);
    skelder::cli::addHudCommand(app, exitStatus);
    skelder::cli::addHighlightsCommand(app, exitStatus);
    skelder::cli::addSyncCommand(app, exitStatus);
    skelder::cli::addLapsCommand(app, exitStatus);
    CLI11_PARSE(app, argc, argv);
    return exitStatus;
}
