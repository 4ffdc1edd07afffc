#pragma once

#include "kovra_writer/kovra_writer.hpp"
#include "samples/drive_simulation.hpp"

namespace skelder::samples {

// The recorder's packet header clock runs this far ahead of the telemetry track's presentation
// time (100 ns ticks).
inline constexpr std::int64_t kRecorderHeaderOffsetTicks = 6'500'000;

// The physical value a standard recorder channel (matched by tag) reports for a drive state, in
// the recorded unit: speed m/s, throttle and brake fractions, engine speed rad/s, gear, lateral
// (x) and longitudinal (y) acceleration m/s^2, steering angle radians. 0 for other channels.
double recordedChannelValue(const kovra::ChannelDefinition& channel, const DriveState& state);

// Recording options for the telemetry of a drive: the eight standard channels at the recorder's
// rates over `durationSeconds`, the recorder's header clock offset, and values that trail the
// picture by `lagSeconds`: the value at presentation time t is the drive at t - lagSeconds
// (clamped at 0), as the recorder's telemetry lags its camera.
kovra::RecordingOptions driveTelemetryOptions(const DriveSimulation& drive, double durationSeconds,
                                              double lagSeconds);

}  // namespace skelder::samples
