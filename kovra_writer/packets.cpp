#include "kovra_writer/packets.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "telemetry/raw_values.hpp"

namespace skelder::kovra {

namespace {

constexpr std::uint64_t kMaxTicks =
    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

}  // namespace

Bytes encodePacket(const Packet& packet) {
    if (packet.payload.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("packet payload exceeds a 32-bit length");
    }
    ByteWriter w;
    w.u64(packet.timestampTicks);
    w.u16(packet.flags);
    w.u32(static_cast<std::uint32_t>(packet.payload.size()));
    w.raw(packet.payload);
    return std::move(w).take();
}

std::uint64_t cycleIntervalTicks(const std::vector<Rate>& rates) {
    if (rates.empty()) {
        return 1;
    }
    std::uint64_t m = std::numeric_limits<std::uint64_t>::max();
    for (const auto& rate : rates) {
        m = std::min(m, rate.intervalTicks);
    }
    if (m == std::numeric_limits<std::uint64_t>::max()) {
        return 1;
    }
    return std::clamp<std::uint64_t>(m, 1, kMaxTicks);
}

Bytes packetPayload(const std::vector<Rate>& rates, std::uint64_t headerTicks,
                    std::uint64_t cycleCount, const RawValueAt& rawValueAt) {
    const std::uint64_t m = cycleIntervalTicks(rates);
    const std::uint64_t header = std::min(headerTicks, kMaxTicks);
    ByteWriter w;
    for (std::uint64_t k = 0; k < cycleCount; ++k) {
        if (k > (kMaxTicks - header) / m) {
            throw std::overflow_error("payload cycle time passes 2^63 - 1 ticks");
        }
        const std::uint64_t headerTime = header + k * m;
        bool anyDue = false;
        for (const auto& rate : rates) {
            if (rate.intervalTicks == 0 || headerTime % rate.intervalTicks != 0 ||
                rate.channels.empty()) {
                continue;
            }
            anyDue = true;
            for (const auto& channel : rate.channels) {
                if (isKnownRawType(channel.rawType)) {
                    appendRawValue(w, channel.rawType, rawValueAt(channel, k));
                } else {
                    w.zeros(rawTypeSize(channel.rawType));
                }
            }
        }
        if (!anyDue) {
            break;
        }
    }
    return std::move(w).take();
}

}  // namespace skelder::kovra
