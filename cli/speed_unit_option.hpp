#pragma once

// "--unit mph|kmh": the unit of the speeds a person reads in a command's lines and in the HUD
// it draws. JSON and CSV output keep their own units whatever the choice.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "core/speed_unit.hpp"

namespace skelder::cli {

void addSpeedUnitOption(CLI::App& command, std::string& unitName);

// The unit named on the command line; for any other name, nothing, after printing the reason
// on standard error.
std::optional<SpeedUnit> chosenSpeedUnit(const std::string& unitName);

}  // namespace skelder::cli
