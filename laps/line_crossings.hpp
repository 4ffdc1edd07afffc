#pragma once

#include <optional>
#include <span>
#include <vector>

#include "laps/lap_windows.hpp"

namespace skelder::laps {

// A channel of the recording and the lap windows, both on one distance grid.
struct LapFrame {
    std::vector<LapWindow> windows;
    std::size_t lapSamples = 0;
    double stepMetres = 0;

    double lapLengthMetres() const { return static_cast<double>(lapSamples) * stepMetres; }
};

// Where the line goes when the driver did not say: at the end of the circuit's longest
// full-throttle stretch, where start/finish lines usually are (and where the car is fastest, so a
// crossing's time is the most exact). Without a throttle channel, where the car is fastest.
// Metres from the start of a lap window.
double defaultLinePlace(std::span<const double> throttleByDistance,
                        std::span<const double> speedByDistance, const LapFrame& frame);

// The line's place in a lap window (metres from its start) for the point `metres` of the drive.
double linePlaceAt(double metres, const LapFrame& frame);

// Every passage of the line, in metres driven: about `linePlaceMetres` into each lap window,
// then aligned on the finer signature against the mean of all laps around the line, so every
// crossing is at the same place of the circuit. With `anchorMetres`, the crossing nearest it is
// moved onto it and the others by as much. Ascending, within [0, drivenMetres].
std::vector<double> lineCrossingMetres(std::span<const double> fineSignature, double fineStepMetres,
                                       const LapFrame& frame, double linePlaceMetres,
                                       std::optional<double> anchorMetres, double drivenMetres);

}  // namespace skelder::laps
