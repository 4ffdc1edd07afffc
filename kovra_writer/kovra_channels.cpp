#include "kovra_writer/kovra_channels.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "telemetry/raw_values.hpp"

namespace skelder::kovra {

namespace {

// Rounds and saturates to the range of Int. The bounds are compared in double because the
// upper limits of the 64-bit types are not representable there.
template <typename Int>
Int saturate(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double r = std::round(v);
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    // 2^digits is the first integer past the range (digits excludes the sign bit).
    constexpr double past =
        2.0 * static_cast<double>(std::uint64_t{1} << (std::numeric_limits<Int>::digits - 1));
    if (r <= lo) {
        return std::numeric_limits<Int>::min();
    }
    if (r >= past) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(r);
}

}  // namespace

std::vector<Rate> ratesOf(const std::vector<ChannelDefinition>& channels) {
    std::vector<Rate> rates;
    for (const auto& channel : channels) {
        if (!channel.listedInRates) {
            continue;
        }
        auto it = std::find_if(rates.begin(), rates.end(), [&](const Rate& r) {
            return r.intervalTicks == channel.intervalTicks;
        });
        if (it == rates.end()) {
            rates.push_back({channel.intervalTicks, {}});
            it = std::prev(rates.end());
        }
        it->channels.push_back(channel);
    }
    return rates;
}

std::size_t rawTypeSize(std::uint8_t rawType) {
    // The sizes are the reader's own table: a recording is only worth writing as it is read.
    return static_cast<std::size_t>(skelder::rawTypeByteSize(rawType));
}

void appendRawValue(ByteWriter& out, std::uint8_t rawType, double rawValue) {
    switch (rawType) {
        case kRawInt8:
            out.i8(saturate<std::int8_t>(rawValue));
            break;
        case kRawUInt8:
            out.u8(saturate<std::uint8_t>(rawValue));
            break;
        case kRawInt16:
            out.i16(saturate<std::int16_t>(rawValue));
            break;
        case kRawUInt16:
            out.u16(saturate<std::uint16_t>(rawValue));
            break;
        case kRawInt32:
            out.i32(saturate<std::int32_t>(rawValue));
            break;
        case kRawUInt32:
            out.u32(saturate<std::uint32_t>(rawValue));
            break;
        case kRawInt64:
            out.i64(saturate<std::int64_t>(rawValue));
            break;
        case kRawUInt64:
            out.u64(saturate<std::uint64_t>(rawValue));
            break;
        case kRawFloat32:
            out.f32(static_cast<float>(rawValue));
            break;
        case kRawFloat64:
            out.f64(rawValue);
            break;
        default:
            break;
    }
}

double rawForCalibrated(const ChannelDefinition& channel, double physicalValue) {
    if (const auto* numeric = std::get_if<NumericCalibration>(&channel.calibration)) {
        return numeric->gain == 0 ? 0.0 : (physicalValue - numeric->offset) / numeric->gain;
    }
    return physicalValue;
}

}  // namespace skelder::kovra
