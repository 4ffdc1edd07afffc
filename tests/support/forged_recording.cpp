#include "tests/support/forged_recording.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace skelder::testing {

kovra::RecordingOptions ForgedRecording::defaultOptions() {
    kovra::RecordingOptions options;
    options.durationSeconds = 3;
    return options;
}

Bytes ForgedRecording::build() const {
    const std::vector<Bytes> samples = kovra::buildTelemetrySamples(options);
    const Bytes mdat = kovra::concatAll(samples);
    const auto traks = [&](std::uint64_t mdatPayloadOffset) {
        std::vector<Bytes> all = leadingTraks;
        const auto trackId = static_cast<std::uint32_t>(all.size() + 1);
        kovra::TrackTables tables =
            kovra::telemetryTrackTables(options, samples, mdatPayloadOffset, trackId, 1000);
        if (editTables)
            editTables(tables);
        all.push_back(kovra::trakBox(tables));
        return all;
    };
    kovra::Mp4Layout layout;
    layout.movieDuration = static_cast<std::uint64_t>(options.durationSeconds * 1000);
    return kovra::assembleMp4(mdat, traks, layout);
}

std::string_view boxType(const Bytes& box) {
    if (box.size() < 8)
        throw std::invalid_argument("not a box");
    return {reinterpret_cast<const char*>(box.data()) + 4, 4};
}

void removeBox(std::vector<Bytes>& boxes, std::string_view type) {
    const auto before = boxes.size();
    std::erase_if(boxes, [&](const Bytes& box) { return boxType(box) == type; });
    if (boxes.size() == before)
        throw std::invalid_argument("no box " + std::string(type));
}

void replaceBox(std::vector<Bytes>& boxes, std::string_view type, Bytes replacement) {
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [&](const Bytes& box) { return boxType(box) == type; });
    if (found == boxes.end())
        throw std::invalid_argument("no box " + std::string(type));
    *found = std::move(replacement);
}

}  // namespace skelder::testing
