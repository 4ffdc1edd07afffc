#pragma once

#include <optional>
#include <string_view>

namespace skelder::samples {

// Frames per second as an exact fraction (29.97 is 30000/1001).
struct FrameRate {
    int numerator = 30;
    int denominator = 1;

    double value() const { return static_cast<double>(numerator) / denominator; }
    friend bool operator==(const FrameRate&, const FrameRate&) = default;
};

// Reads "30", "12.5", "30000/1001", or the broadcast rates written as decimals ("23.976",
// "29.97", "59.94" become n*1000/1001). Nothing for text that is no positive rate.
std::optional<FrameRate> parseFrameRate(std::string_view text);

}  // namespace skelder::samples
