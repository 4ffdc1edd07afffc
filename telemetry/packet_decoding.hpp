#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "telemetry/channels.hpp"
#include "telemetry/packets.hpp"
#include "telemetry/sample_description.hpp"

namespace skelder {

struct PayloadValue {
    double value = 0;
    std::uint64_t rawBits = 0;  // integers sign- or zero-extended, floats as their bit pattern
};

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
    struct ChannelSlot {
        std::uint16_t channelID;
        std::uint8_t rawType;
        const ResolvedChannel* resolved;  // nullptr: read and skipped
    };
    struct CompiledRate {
        std::uint64_t intervalTicks;
        std::vector<ChannelSlot> channels;
    };

    std::vector<CompiledRate> rates_;
    std::int64_t minimumIntervalTicks_ = 1;
    bool finished_ = false;
};

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
        bool anyDue = false;
        for (const CompiledRate& rate : rates_) {
            if (rate.intervalTicks == 0 ||
                static_cast<std::uint64_t>(headerTime) % rate.intervalTicks != 0) {
                continue;
            }
            anyDue = anyDue || !rate.channels.empty();
            for (const ChannelSlot& slot : rate.channels) {
                const auto value = readPayloadValue(packet.payload, cursor, slot.rawType);
                if (!value) {
                    finished_ = true;
                    return;
                }
                if (slot.resolved != nullptr) {
                    sink(*slot.resolved, ChannelValueEvent{slot.channelID,
                                                           calibrate(slot.resolved->info,
                                                                     value->value, value->rawBits),
                                                           valueTicks});
                }
            }
        }
        if (!anyDue)
            return;
    }
}

}  // namespace skelder
