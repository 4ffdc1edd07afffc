#pragma once

// Telemetry-only recordings of a drive made of stages the highlight analysis should find, or
// leave alone: idling, cruising, hard corners and full-throttle runs.

#include <filesystem>
#include <functional>

#include "samples/drive_simulation.hpp"

namespace skelder::testing {

samples::DriveState idling();
// Light throttle around 30 m/s in fourth, gently weaving.
samples::DriveState cruising(double seconds);
// A corner from `start`: two seconds of braking in, then `lateralG` of cornering.
samples::DriveState cornering(double seconds, double start, double lateralG);
// Full throttle from `start`, gaining 1.5 m/s every second.
samples::DriveState flatOut(double seconds, double start);

// Writes the recorder's telemetry track of the drive, sent as the recorder sends it.
void writeStagedDrive(const std::filesystem::path& file, double seconds,
                      const std::function<samples::DriveState(double seconds)>& stateAt);

}  // namespace skelder::testing
