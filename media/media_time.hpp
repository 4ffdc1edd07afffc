#pragma once

#include <compare>
#include <cstdint>

namespace skelder::media {

// A time as a 64-bit value over a 32-bit time scale (value / timescale seconds), with exact
// arithmetic across scales.
struct MediaTime {
    std::int64_t value = 0;
    std::int32_t timescale = 600;

    static MediaTime zero() { return {0, 600}; }
    // The nearest time at the given scale (600 unless said otherwise).
    static MediaTime fromSeconds(double seconds, std::int32_t timescale = 600);
    // pts in a stream time base of num/den seconds per unit.
    static MediaTime fromRational(std::int64_t units, int num, int den);

    double seconds() const noexcept;
    // The same instant at another scale, rounded to the nearest unit.
    MediaTime convertedTo(std::int32_t newTimescale) const;
    // Units of a rational time base num/den, rounded to the nearest unit.
    std::int64_t unitsOf(int num, int den) const;

    friend MediaTime operator+(MediaTime a, MediaTime b);
    friend MediaTime operator-(MediaTime a, MediaTime b);
    friend std::strong_ordering operator<=>(MediaTime a, MediaTime b);
    friend bool operator==(MediaTime a, MediaTime b) { return (a <=> b) == 0; }
};

MediaTime min(MediaTime a, MediaTime b);
MediaTime max(MediaTime a, MediaTime b);

}  // namespace skelder::media
