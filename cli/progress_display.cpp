#include "cli/progress_display.hpp"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace skelder::cli {
ProgressDisplay::ProgressDisplay() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ProgressDisplay::update(const std::string& label, double fraction) {
    fraction = std::clamp(std::isfinite(fraction) ? fraction : 0.0, 0.0, 1.0);
    const int percent = static_cast<int>(std::lround(fraction * 100));
    if (terminal_) {
        // One line rewritten in place, only when the percentage moves.
        if (lineOpen_ && percent == lastPercent_)
            return;
        fmt::print(stderr, "\r{}: {}%", label, percent);
        std::fflush(stderr);
        lineOpen_ = true;
        lastPercent_ = percent;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent_ ||
        (now - lastPlainLine_ < std::chrono::seconds(2) && percent != 100)) {
        return;
    }
    lastPlainLine_ = now;
    lastPercent_ = percent;
    fmt::print(stderr, "{}: {}%\n", label, percent);
}

void ProgressDisplay::finish() {
    if (lineOpen_)
        fmt::print(stderr, "\n");
    lineOpen_ = false;
    lastPercent_ = -1;
}

}  // namespace skelder::cli
