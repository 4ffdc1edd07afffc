#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "kovra_writer/byte_writer.hpp"
#include "kovra_writer/kovra_channels.hpp"

namespace skelder::kovra {

struct Packet {
    std::uint64_t timestampTicks = 0;  // header time
    std::uint16_t flags = 0;
    Bytes payload = {};
};

// timestamp (8), flags (2), payload length (4), payload. Packets of a sample follow each other
// without gaps.
Bytes encodePacket(const Packet& packet);

// The payload cycle length m: the smallest rate interval, 1 when there are no rates or the
// smallest is 0, at most 2^63 - 1.
std::uint64_t cycleIntervalTicks(const std::vector<Rate>& rates);

// Raw value of a channel in payload cycle k.
using RawValueAt = std::function<double(const ChannelDefinition&, std::uint64_t cycle)>;

// Packet payload for header time H: cycles k = 0 .. cycleCount - 1 at header time H + k*m. A rate
// is due in a cycle when its interval is not 0 and divides the cycle's header time; every due rate
// (rate order) contributes one raw value per channel (channel order). The payload ends early at
// the first cycle without a due rate, since readers stop there. Unknown raw types take 4 zero
// bytes (readers skip them and stop). Give H as a multiple of the largest interval to have every
// rate due in cycle 0.
Bytes packetPayload(const std::vector<Rate>& rates, std::uint64_t headerTicks,
                    std::uint64_t cycleCount, const RawValueAt& rawValueAt);

}  // namespace skelder::kovra
