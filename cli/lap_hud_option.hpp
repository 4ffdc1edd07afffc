#pragma once

// "--lap-hud timer,gap,map": the lap elements the HUD draws beside the specified ones; "none"
// (the default) draws none, so the HUD is exactly the specified one.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "overlay/lap_hud.hpp"

namespace skelder::cli {

void addLapHudOption(CLI::App& command, std::string& elementNames);

// The elements named; for any other name, nothing, after printing the reason on standard error.
std::optional<LapHudElements> chosenLapHud(const std::string& elementNames);

}  // namespace skelder::cli
