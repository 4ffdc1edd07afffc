#include "laps/lap_texts.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

namespace skelder::laps {

std::string lapTimeText(double seconds) {
    const auto millis = static_cast<std::int64_t>(std::llround(std::max(0.0, seconds) * 1000));
    return fmt::format("{}:{:02}.{:03}", millis / 60000, millis / 1000 % 60, millis % 1000);
}

std::string lapGapText(double seconds) {
    const char sign = seconds < 0 ? '-' : '+';
    const double size = std::abs(seconds);
    if (std::llround(size * 1000) >= 60000) {
        return sign + lapTimeText(size);
    }
    return fmt::format("{}{:.3f}", sign, size);
}

}  // namespace skelder::laps
