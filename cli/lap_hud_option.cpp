#include "cli/lap_hud_option.hpp"

#include <fmt/format.h>

#include <cstdio>
#include <sstream>

namespace skelder::cli {

void addLapHudOption(CLI::App& command, std::string& elementNames) {
    command
        .add_option("--lap-hud", elementNames,
                    "Lap elements on the HUD, comma-separated: timer (lap and running time, last "
                    "and best laps), gap (to the best lap), map (the circuit and the car); or none")
        ->type_name("ELEMENTS")
        ->capture_default_str();
}

std::optional<LapHudElements> chosenLapHud(const std::string& elementNames) {
    LapHudElements elements;
    if (elementNames == "none") {
        return elements;
    }
    std::istringstream names(elementNames);
    for (std::string name; std::getline(names, name, ',');) {
        if (name == "timer") {
            elements.timer = true;
        } else if (name == "gap") {
            elements.gap = true;
        } else if (name == "map") {
            elements.map = true;
        } else {
            fmt::print(stderr, "--lap-hud: \"{}\" is not timer, gap, map or none\n", name);
            return std::nullopt;
        }
    }
    if (!elements.any()) {
        fmt::print(stderr, "--lap-hud: \"{}\" names no element; use timer, gap, map or none\n",
                   elementNames);
        return std::nullopt;
    }
    return elements;
}

}  // namespace skelder::cli
