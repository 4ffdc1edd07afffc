#include "media/media_time.hpp"

#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace skelder::media {
namespace {

using Wide = __int128;

std::int64_t narrow(Wide value) {
    if (value > std::numeric_limits<std::int64_t>::max() ||
        value < std::numeric_limits<std::int64_t>::min()) {
        throw std::overflow_error("media time out of range");
    }
    return static_cast<std::int64_t>(value);
}

// The scale two times are added at: their least common multiple when it fits 32 bits
// (exact), else the larger scale (rounded).
std::int32_t commonScale(std::int32_t a, std::int32_t b) {
    const auto common = std::lcm(static_cast<std::int64_t>(a), static_cast<std::int64_t>(b));
    if (common <= std::numeric_limits<std::int32_t>::max())
        return static_cast<std::int32_t>(common);
    return std::max(a, b);
}

}  // namespace

MediaTime MediaTime::fromSeconds(double seconds, std::int32_t timescale) {
    const double units = seconds * timescale;
    if (!(std::fabs(units) < 9.2e18))
        throw std::out_of_range("media time out of range");
    return {static_cast<std::int64_t>(std::llround(units)), timescale};
}

MediaTime MediaTime::fromRational(std::int64_t units, int num, int den) {
    if (num == 1)
        return {units, den};
    return {av_rescale_q(units, AVRational{num, den}, AVRational{1, 90000}), 90000};
}

double MediaTime::seconds() const noexcept {
    return timescale == 0 ? 0.0 : static_cast<double>(value) / timescale;
}

MediaTime MediaTime::convertedTo(std::int32_t newTimescale) const {
    if (newTimescale == timescale)
        return *this;
    return {av_rescale_rnd(value, newTimescale, timescale,
                           static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX)),
            newTimescale};
}

std::int64_t MediaTime::unitsOf(int num, int den) const {
    return av_rescale_q(value, AVRational{1, timescale}, AVRational{num, den});
}

MediaTime operator+(MediaTime a, MediaTime b) {
    const std::int32_t scale = commonScale(a.timescale, b.timescale);
    const MediaTime x = a.convertedTo(scale), y = b.convertedTo(scale);
    return {narrow(Wide{x.value} + y.value), scale};
}

MediaTime operator-(MediaTime a, MediaTime b) {
    return a + MediaTime{narrow(-Wide{b.value}), b.timescale};
}

std::strong_ordering operator<=>(MediaTime a, MediaTime b) {
    return Wide{a.value} * b.timescale <=> Wide{b.value} * a.timescale;
}

MediaTime min(MediaTime a, MediaTime b) {
    return b < a ? b : a;
}
MediaTime max(MediaTime a, MediaTime b) {
    return a < b ? b : a;
}

}  // namespace skelder::media
