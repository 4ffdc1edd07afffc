#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "telemetry/channels.hpp"
#include "telemetry/packets.hpp"
#include "telemetry/rate_schedule.hpp"
#include "telemetry/raw_values.hpp"
#include "telemetry/sample_description.hpp"

namespace skelder {

// Reads one value of a raw type at the cursor. Nothing is read when the value would pass
// the payload's end; an unknown type consumes its 4 bytes and yields nothing.
std::optional<PayloadValue> readPayloadValue(ByteSpan payload, std::size_t& cursor,
                                             std::uint8_t rawType);

double calibrate(const ChannelInfo& channel, double value, std::uint64_t rawBits);

// A value of a required channel with its time in ticks.
struct ChannelValueEvent {
    std::uint16_t channelID = 0;
    double value = 0;
    std::int64_t valueTicks = 0;
};

// A channel the extraction decodes: its calibration and the kind of value it feeds.
struct ResolvedChannel {
    ChannelInfo info;
    std::optional<TelemetrySignalKind> kind;
};

// Walks packet payloads cycle by cycle. Once a value cannot be read the walk is over for
// the rest of the extraction; what was already handed to the sink stands.
//
// The cost follows what the file's channels are used for: rates without channels (or with an
// interval of 0) can never be due with values and are left out; the schedule finds the due
// rates of a cycle without testing the others; and the bytes of channels nobody reads are
// stepped over in one move per run of them.
class PacketDecoder {
  public:
    PacketDecoder(const TelemetrySampleDescription& description,
                  const std::map<std::uint16_t, ResolvedChannel>& resolvedChannels);

    // Calls sink(const ResolvedChannel&, const ChannelValueEvent&) for every value of a
    // resolved channel, in payload order.
    template <typename Sink>
    void decode(const PacketView& packet, Sink&& sink);

    bool finished() const noexcept { return finished_; }

  private:
    // The unused channels before a resolved one (or at the end of a rate) are skipped as one
    // run of bytes; an unused channel of an unknown type ends the walk where it stands.
    struct DecodeStep {
        std::size_t skipBytes = 0;
        bool skipEndsWalk = false;
        const ResolvedChannel* resolved = nullptr;  // nullptr: a trailing skip
        std::uint16_t channelID = 0;
        std::uint8_t rawType = 0;
    };
    using CompiledRate = std::vector<DecodeStep>;

    // Runs one due rate at the cursor; false when the walk ends.
    template <typename Sink>
    bool decodeRate(const CompiledRate& rate, ByteSpan payload, std::size_t& cursor,
                    std::int64_t valueTicks, Sink& sink);

    std::vector<CompiledRate> rates_;
    RateSchedule schedule_;
    std::int64_t minimumIntervalTicks_ = 1;
    bool finished_ = false;
};

template <typename Sink>
bool PacketDecoder::decodeRate(const CompiledRate& rate, ByteSpan payload, std::size_t& cursor,
                               std::int64_t valueTicks, Sink& sink) {
    for (const DecodeStep& step : rate) {
        if (step.skipEndsWalk || step.skipBytes > payload.size() - cursor)
            return false;
        cursor += step.skipBytes;
        if (step.resolved == nullptr)
            continue;
        const auto value = readPayloadValue(payload, cursor, step.rawType);
        if (!value)
            return false;
        sink(*step.resolved,
             ChannelValueEvent{step.channelID,
                               calibrate(step.resolved->info, value->value, value->rawBits),
                               valueTicks});
    }
    return true;
}

template <typename Sink>
void PacketDecoder::decode(const PacketView& packet, Sink&& sink) {
    if (finished_ || packet.payload.empty() || rates_.empty())
        return;
    constexpr std::int64_t kMax = INT64_MAX;
    const std::int64_t header = packet.timestampTicks > static_cast<std::uint64_t>(kMax)
                                    ? kMax
                                    : static_cast<std::int64_t>(packet.timestampTicks);
    std::optional<std::int64_t> pts;
    if (packet.samplePTSSeconds) {
        const double ticks = *packet.samplePTSSeconds * 10'000'000.0;
        // Times that do not fit the tick range cannot be placed; the packet is skipped.
        if (!(ticks > -9.2e18 && ticks < 9.2e18))
            return;
        pts = static_cast<std::int64_t>(ticks);
    }

    std::size_t cursor = 0;
    for (std::int64_t cycle = 0; cursor < packet.payload.size(); ++cycle) {
        std::int64_t shift;
        std::int64_t headerTime;
        if (__builtin_mul_overflow(cycle, minimumIntervalTicks_, &shift) ||
            __builtin_add_overflow(header, shift, &headerTime)) {
            return;
        }
        std::int64_t valueTicks = headerTime;
        if (pts) {
            if (__builtin_add_overflow(*pts, shift, &valueTicks))
                return;
            if (valueTicks < 0)
                valueTicks = 0;
        }
        const std::vector<std::size_t>& due = schedule_.dueAt(headerTime);
        if (due.empty())
            return;
        for (const std::size_t rate : due) {
            if (!decodeRate(rates_[rate], packet.payload, cursor, valueTicks, sink)) {
                finished_ = true;
                return;
            }
        }
    }
}

}  // namespace skelder
