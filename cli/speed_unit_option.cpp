#include "cli/speed_unit_option.hpp"

#include <fmt/format.h>

#include <cstdio>

namespace skelder::cli {

void addSpeedUnitOption(CLI::App& command, std::string& unitName) {
    command
        .add_option("--unit", unitName,
                    "Unit of the speeds shown: mph or kmh (JSON keeps its own units)")
        ->type_name("UNIT")
        ->capture_default_str();
}

std::optional<SpeedUnit> chosenSpeedUnit(const std::string& unitName) {
    const std::optional<SpeedUnit> unit = speedUnitNamed(unitName);
    if (!unit)
        fmt::print(stderr, "--unit: \"{}\" is not a speed unit; use mph or kmh\n", unitName);
    return unit;
}

}  // namespace skelder::cli
