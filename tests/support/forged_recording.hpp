#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "kovra_writer/kovra_writer.hpp"

namespace skelder::testing {

using kovra::Bytes;

// A small recording built in memory with hooks to break any table of its telemetry track.
struct ForgedRecording {
    kovra::RecordingOptions options = defaultOptions();
    // Runs on the telemetry track's tables once chunk offsets are known.
    std::function<void(kovra::TrackTables&)> editTables;
    // Tracks placed before the telemetry track in "moov".
    std::vector<Bytes> leadingTraks;

    static kovra::RecordingOptions defaultOptions();
    Bytes build() const;
};

std::string_view boxType(const Bytes& box);
void removeBox(std::vector<Bytes>& boxes, std::string_view type);
void replaceBox(std::vector<Bytes>& boxes, std::string_view type, Bytes replacement);

}  // namespace skelder::testing
