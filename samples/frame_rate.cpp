#include "samples/frame_rate.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>

namespace skelder::samples {

namespace {

std::optional<std::int64_t> parseDigits(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.front() == '-' ||
        text.front() == '+') {
        return std::nullopt;
    }
    return value;
}

std::optional<FrameRate> reduced(std::int64_t numerator, std::int64_t denominator) {
    if (numerator <= 0 || denominator <= 0) {
        return std::nullopt;
    }
    const std::int64_t divisor = std::gcd(numerator, denominator);
    numerator /= divisor;
    denominator /= divisor;
    if (numerator > 1'000'000'000 || denominator > 1'000'000'000) {
        return std::nullopt;
    }
    return FrameRate{static_cast<int>(numerator), static_cast<int>(denominator)};
}

}  // namespace

std::optional<FrameRate> parseFrameRate(std::string_view text) {
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        const auto numerator = parseDigits(text.substr(0, slash));
        const auto denominator = parseDigits(text.substr(slash + 1));
        if (!numerator || !denominator) {
            return std::nullopt;
        }
        return reduced(*numerator, *denominator);
    }
    const auto point = text.find('.');
    const auto whole = parseDigits(text.substr(0, point));
    if (!whole) {
        return std::nullopt;
    }
    if (point == std::string_view::npos) {
        return reduced(*whole, 1);
    }
    const std::string_view fractionDigits = text.substr(point + 1);
    const auto fraction = parseDigits(fractionDigits);
    if (!fraction || fractionDigits.size() > 6) {
        return std::nullopt;
    }
    std::int64_t scale = 1;
    for (std::size_t i = 0; i < fractionDigits.size(); ++i) {
        scale *= 10;
    }
    const std::int64_t numerator = *whole * scale + *fraction;
    // A decimal within rounding of n/1.001 is the broadcast rate n*1000/1001.
    const double value = static_cast<double>(numerator) / static_cast<double>(scale);
    const double nominal = std::round(value * 1.001);
    if (*fraction != 0 && nominal >= 1 && std::abs(value - nominal / 1.001) < 0.5 / scale + 1e-9) {
        return reduced(static_cast<std::int64_t>(nominal) * 1000, 1001);
    }
    return reduced(numerator, scale);
}

}  // namespace skelder::samples
