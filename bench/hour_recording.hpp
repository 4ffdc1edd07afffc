#pragma once

#include <filesystem>

#include "kovra_writer/kovra_writer.hpp"

namespace skelder::bench {

// An hour of telemetry at the recorder's real rates (accelerometer 100 Hz, pedals, rpm and
// steering 50 Hz, speed and gear 10 Hz) plus channels the app ignores.
inline kovra::RecordingOptions hourRecordingOptions() {
    kovra::RecordingOptions options;
    const auto extra = kovra::extraChannels();
    options.channels.insert(options.channels.end(), extra.begin(), extra.end());
    options.durationSeconds = 3600;
    options.headerOffsetTicks = 6'500'000;
    options.includeVideoTrack = true;
    return options;
}

}  // namespace skelder::bench
