#include "telemetry/packet_decoding.hpp"

namespace skelder {

std::optional<PayloadValue> readPayloadValue(ByteSpan payload, std::size_t& cursor,
                                             std::uint8_t rawType) {
    const auto size = static_cast<std::size_t>(rawTypeByteSize(rawType));
    if (cursor > payload.size() || size > payload.size() - cursor)
        return std::nullopt;
    const std::uint8_t* p = payload.data() + cursor;
    cursor += size;
    return rawValueFromBits(rawType, loadUnsigned(p, static_cast<int>(size)));
}

double calibrate(const ChannelInfo& channel, double value, std::uint64_t rawBits) {
    if (const auto* numeric = std::get_if<NumericCalibration>(&channel.calibration)) {
        double clamped = value;
        if (clamped < numeric->minRaw)
            clamped = numeric->minRaw;
        if (clamped > numeric->maxRaw)
            clamped = numeric->maxRaw;
        return numeric->offset + clamped * numeric->gain;
    }
    if (const auto* bitfield = std::get_if<BitfieldCalibration>(&channel.calibration)) {
        return static_cast<double>(rawBits & bitfield->mask);
    }
    return value;
}

namespace {

// Rates without channels never hold values and never count as due; rates with an interval
// of 0 are never due. Neither can change what the walk reads, so neither is kept.
bool canHoldValues(const RateDefinition& rate) {
    return !rate.channels.empty() && rate.intervalTicks != 0;
}

std::vector<std::uint64_t> intervalsOfRatesWithValues(
    const TelemetrySampleDescription& description) {
    std::vector<std::uint64_t> intervals;
    for (const RateDefinition& rate : description.rates) {
        if (canHoldValues(rate))
            intervals.push_back(rate.intervalTicks);
    }
    return intervals;
}

std::int64_t cycleTicksOf(const TelemetrySampleDescription& description) {
    const std::uint64_t minimum = description.minimumIntervalTicks;
    if (minimum == 0)
        return 1;
    return minimum > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX
                                                           : static_cast<std::int64_t>(minimum);
}

}  // namespace

PacketDecoder::PacketDecoder(const TelemetrySampleDescription& description,
                             const std::map<std::uint16_t, ResolvedChannel>& resolvedChannels)
    : schedule_(intervalsOfRatesWithValues(description), cycleTicksOf(description)),
      minimumIntervalTicks_(cycleTicksOf(description)) {
    for (const RateDefinition& rate : description.rates) {
        if (!canHoldValues(rate))
            continue;
        CompiledRate compiled;
        DecodeStep step;
        for (const RateChannelDefinition& channel : rate.channels) {
            const auto found = resolvedChannels.find(channel.channelID);
            if (found == resolvedChannels.end()) {
                step.skipBytes += static_cast<std::size_t>(rawTypeByteSize(channel.rawType));
                step.skipEndsWalk = step.skipEndsWalk || !isKnownRawType(channel.rawType);
                continue;
            }
            step.resolved = &found->second;
            step.channelID = channel.channelID;
            step.rawType = channel.rawType;
            compiled.push_back(step);
            step = DecodeStep{};
        }
        if (step.skipBytes > 0)
            compiled.push_back(step);
        rates_.push_back(std::move(compiled));
    }
}

}  // namespace skelder
