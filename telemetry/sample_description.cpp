#include "telemetry/sample_description.hpp"

#include <limits>

#include "telemetry/extraction_error.hpp"

namespace skelder {
namespace {

constexpr std::uint64_t kNoInterval = std::numeric_limits<std::uint64_t>::max();

// adud records are only validated; their content is not used.
void validateAdud(ByteSpan buffer, const MP4BoxHeader& adud) {
    BinaryReader reader(buffer, adud.payloadStart(), adud.payloadEnd());
    while (!reader.atEnd()) {
        reader.readU16();
        reader.readNullTerminatedString();
    }
}

struct ParsedRates {
    std::vector<RateDefinition> rates;
    std::map<std::uint16_t, std::uint8_t> rawTypeByChannel;
    std::uint64_t minimumIntervalTicks = 1;
};

ParsedRates parseAdcr(ByteSpan buffer, const MP4BoxHeader& adcr) {
    BinaryReader reader(buffer, adcr.payloadStart(), adcr.payloadEnd());
    ParsedRates parsed;
    std::uint64_t minimum = kNoInterval;
    const int groupCount = reader.readU8();
    for (int group = 0; group < groupCount; ++group) {
        reader.readU8();  // group byte, not used
        const int rateCount = reader.readU8();
        for (int r = 0; r < rateCount; ++r) {
            RateDefinition rate;
            rate.intervalTicks = reader.readU64();
            const int channelCount = reader.readU16();
            for (int c = 0; c < channelCount; ++c) {
                RateChannelDefinition channel;
                channel.channelID = reader.readU16();
                channel.rawType = reader.readU8();
                rate.channels.push_back(channel);
                parsed.rawTypeByChannel[channel.channelID] = channel.rawType;
            }
            if (rate.intervalTicks < minimum)
                minimum = rate.intervalTicks;
            parsed.rates.push_back(std::move(rate));
        }
    }
    parsed.minimumIntervalTicks = minimum == kNoInterval ? 1 : minimum;
    return parsed;
}

BitfieldCalibration parseBitfield(BinaryReader& reader, std::uint8_t declaredRawType) {
    const int valueSize = rawTypeByteSize(declaredRawType);
    BitfieldCalibration bitfield;
    const int definitionCount = reader.readU8();
    for (int d = 0; d < definitionCount; ++d) {
        reader.readNullTerminatedString();
        const std::uint64_t value = reader.readUnsigned(valueSize);
        if (d == 0)
            bitfield.mask = value;
        reader.readNullTerminatedString();
        reader.readUnsigned(valueSize);
        const int optionCount = reader.readU8();
        for (int o = 0; o < optionCount; ++o) {
            reader.readNullTerminatedString();
            reader.readUnsigned(valueSize);
        }
    }
    return bitfield;
}

void parseAdcp(ByteSpan buffer, const MP4BoxHeader& adcp,
               const std::map<std::uint16_t, std::uint8_t>& rawTypeByChannel,
               std::map<std::uint16_t, ChannelInfo>& channels) {
    BinaryReader reader(buffer, adcp.payloadStart(), adcp.payloadEnd());
    while (!reader.atEnd()) {
        ChannelInfo info;
        info.channelID = reader.readU16();
        info.tag = reader.readNullTerminatedString();
        reader.readU16();  // not used
        info.calibrationType = reader.readU8();
        const std::uint8_t declaredRawType = reader.readU8();
        if (auto found = rawTypeByChannel.find(info.channelID); found != rawTypeByChannel.end()) {
            info.rawType = found->second;
        }
        if (info.calibrationType == 1) {
            const std::uint8_t limitType = info.rawType.value_or(declaredRawType);
            NumericCalibration numeric;
            numeric.gain = reader.readF64();
            numeric.offset = reader.readF64();
            numeric.minRaw = reader.readRawValue(limitType);
            numeric.maxRaw = reader.readRawValue(limitType);
            info.calibration = numeric;
        } else if (info.calibrationType == 2) {
            info.calibration = parseBitfield(reader, declaredRawType);
        } else {
            info.calibration = NoCalibration{};
        }
        channels.insert_or_assign(info.channelID, std::move(info));
    }
}

}  // namespace

TelemetrySampleDescription parseAdcoSampleEntry(ByteSpan buffer, const MP4BoxHeader& adcoHeader) {
    if (adcoHeader.payloadSize() < 8) {
        throw TelemetryExtractionError::decodeFailed("Invalid adco sample entry payload");
    }
    const auto children =
        listChildBoxes(buffer, adcoHeader.payloadStart() + 8, adcoHeader.payloadEnd());
    const MP4BoxHeader* adud = findFirstBox(children, "adud");
    const MP4BoxHeader* adcr = findFirstBox(children, "adcr");
    const MP4BoxHeader* adcp = findFirstBox(children, "adcp");
    if (adcr == nullptr || adcp == nullptr) {
        throw TelemetryExtractionError::decodeFailed("adco missing required adcr/adcp boxes");
    }
    if (adud != nullptr)
        validateAdud(buffer, *adud);
    ParsedRates rates = parseAdcr(buffer, *adcr);

    TelemetrySampleDescription description;
    parseAdcp(buffer, *adcp, rates.rawTypeByChannel, description.channels);
    description.rates = std::move(rates.rates);
    description.minimumIntervalTicks = rates.minimumIntervalTicks;
    return description;
}

}  // namespace skelder
