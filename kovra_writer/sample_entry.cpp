#include "kovra_writer/sample_entry.hpp"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>

#include "kovra_writer/box_builder.hpp"

namespace skelder::kovra {

namespace {

constexpr std::uint8_t kCalibrationNumeric = 1;
constexpr std::uint8_t kCalibrationBitfield = 2;

// Numeric limits are read back in the rate's raw type when the channel has a rate, else in the
// record's declared type.
std::uint8_t limitsRawType(const ChannelDefinition& channel) {
    return channel.listedInRates ? channel.rawType
                                 : channel.declaredRawType.value_or(channel.rawType);
}

void appendBitfield(ByteWriter& w, const BitfieldCalibration& bitfield, std::uint8_t declared) {
    if (bitfield.definitionCount < 0 || bitfield.definitionCount > 255 ||
        bitfield.optionsPerDefinition < 0 || bitfield.optionsPerDefinition > 255) {
        throw std::invalid_argument("bitfield definition and option counts must be 0 to 255");
    }
    const std::size_t width = rawTypeSize(declared);
    w.u8(static_cast<std::uint8_t>(bitfield.definitionCount));
    for (int d = 0; d < bitfield.definitionCount; ++d) {
        const std::string n = std::to_string(d);
        w.cstring("bits" + n);
        w.unsignedN(d == 0 ? bitfield.mask : 0, width);
        w.cstring("default" + n);
        w.unsignedN(0, width);
        w.u8(static_cast<std::uint8_t>(bitfield.optionsPerDefinition));
        for (int o = 0; o < bitfield.optionsPerDefinition; ++o) {
            w.cstring("option" + n + "." + std::to_string(o));
            w.unsignedN(static_cast<std::uint64_t>(o), width);
        }
    }
}

void appendParameterRecord(ByteWriter& w, const ChannelDefinition& channel) {
    const std::uint8_t declared = channel.declaredRawType.value_or(channel.rawType);
    w.u16(channel.id);
    w.cstring(channel.tag);
    w.u16(0);  // unused
    if (const auto* numeric = std::get_if<NumericCalibration>(&channel.calibration)) {
        w.u8(kCalibrationNumeric);
        w.u8(declared);
        w.f64(numeric->gain);
        w.f64(numeric->offset);
        appendRawValue(w, limitsRawType(channel), numeric->minRaw);
        appendRawValue(w, limitsRawType(channel), numeric->maxRaw);
    } else if (const auto* bitfield = std::get_if<BitfieldCalibration>(&channel.calibration)) {
        w.u8(kCalibrationBitfield);
        w.u8(declared);
        appendBitfield(w, *bitfield, declared);
    } else {
        w.u8(std::get<NoCalibration>(channel.calibration).calibrationType);
        w.u8(declared);
    }
}

}  // namespace

std::vector<AdudRecord> defaultAdudRecords() {
    return {{1, "Kovra telemetry 1.0"}};
}

Bytes adudBox(const std::vector<AdudRecord>& records) {
    ByteWriter w;
    for (const auto& record : records) {
        w.u16(record.key);
        w.cstring(record.text);
    }
    return box("adud", w.bytes());
}

Bytes adcrBox(const std::vector<Rate>& rates) {
    constexpr std::size_t kRatesPerGroup = std::numeric_limits<std::uint8_t>::max();
    const std::size_t groupCount = (rates.size() + kRatesPerGroup - 1) / kRatesPerGroup;
    if (groupCount > std::numeric_limits<std::uint8_t>::max()) {
        throw std::invalid_argument("at most 255 groups of 255 rates fit the rate table");
    }
    ByteWriter w;
    w.u8(static_cast<std::uint8_t>(groupCount));
    for (std::size_t first = 0; first < rates.size(); first += kRatesPerGroup) {
        const std::size_t count = std::min(kRatesPerGroup, rates.size() - first);
        w.u8(0);  // group byte
        w.u8(static_cast<std::uint8_t>(count));
        for (const auto& rate : std::span(rates).subspan(first, count)) {
            if (rate.channels.size() > std::numeric_limits<std::uint16_t>::max()) {
                throw std::invalid_argument("too many channels in one rate");
            }
            w.u64(rate.intervalTicks);
            w.u16(static_cast<std::uint16_t>(rate.channels.size()));
            for (const auto& channel : rate.channels) {
                w.u16(channel.id);
                w.u8(channel.rawType);
            }
        }
    }
    return box("adcr", w.bytes());
}

Bytes adcpBox(const std::vector<ChannelDefinition>& channels) {
    ByteWriter w;
    for (const auto& channel : channels) {
        appendParameterRecord(w, channel);
    }
    return box("adcp", w.bytes());
}

Bytes adcoBox(const std::vector<Bytes>& children) {
    ByteWriter w;
    w.zeros(6);  // reserved
    w.u16(1);    // data reference index
    w.raw(concatAll(children));
    return box("adco", w.bytes());
}

Bytes adcoSampleEntryBox(const std::vector<ChannelDefinition>& channels,
                         const std::optional<std::vector<AdudRecord>>& adud) {
    return adcoSampleEntryBox(channels, adud, ratesOf(channels));
}

Bytes adcoSampleEntryBox(const std::vector<ChannelDefinition>& channels,
                         const std::optional<std::vector<AdudRecord>>& adud,
                         const std::vector<Rate>& rates) {
    std::vector<Bytes> children;
    if (adud) {
        children.push_back(adudBox(*adud));
    }
    children.push_back(adcrBox(rates));
    children.push_back(adcpBox(channels));
    return adcoBox(children);
}

}  // namespace skelder::kovra
