#include "kovra_writer/costly_shapes.hpp"

#include <stdexcept>
#include <string>

namespace skelder::kovra {
namespace {

constexpr std::uint16_t kFirstUnreadChannel = 100;

}  // namespace

RecordingOptions withUnusedRates(RecordingOptions drive, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        drive.channellessRateIntervals.push_back(kTicksPerSecond + i);
    return drive;
}

RecordingOptions withUnreadChannels(RecordingOptions drive, std::size_t count) {
    drive.channels.reserve(drive.channels.size() + count);
    if (count > std::size_t{65535} - kFirstUnreadChannel + 1)
        throw std::invalid_argument("too many channels for 16-bit identifiers");
    for (std::size_t i = 0; i < count; ++i) {
        drive.channels.push_back(
            {.id = static_cast<std::uint16_t>(kFirstUnreadChannel + i),
             .tag = std::string(kVendorPrefix) + "channel.aux." + std::to_string(i),
             .rawType = kRawUInt8,
             .intervalTicks = kTicksPerSecond});
    }
    return drive;
}

RecordingOptions withRarelyDueRates(RecordingOptions drive, std::size_t count) {
    drive = withUnreadChannels(std::move(drive), count);
    for (std::size_t i = 0; i < count; ++i)
        drive.channels[drive.channels.size() - count + i].intervalTicks = kTicksPerSecond + 1 + i;
    return drive;
}

RecordingOptions withTinySamples(RecordingOptions drive, int samplesPerChunk) {
    drive.packetDurationTicks = cycleIntervalTicks(declaredRates(drive));
    drive.samplesPerChunk = samplesPerChunk;
    return drive;
}

Bytes withNestedBoxes(const RecordingOptions& drive, std::size_t depth) {
    // Written outside in: every box holds the next one and nothing else.
    ByteWriter nested;
    for (std::size_t level = 0; level < depth; ++level) {
        nested.u32(static_cast<std::uint32_t>(8 * (depth - level)));
        nested.raw(Bytes{'u', 'd', 't', 'a'});
    }
    const std::vector<Bytes> samples = buildTelemetrySamples(drive);
    const auto traks = [&](std::uint64_t mdatPayloadOffset) {
        return std::vector<Bytes>{nested.bytes(), trakBox(telemetryTrackTables(
                                                      drive, samples, mdatPayloadOffset, 1, 1000))};
    };
    return assembleMp4(concatAll(samples), traks);
}

}  // namespace skelder::kovra
