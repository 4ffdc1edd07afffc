#include "cli/progress_display.hpp"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace skelder::cli {
namespace {

constexpr int kBarWidth = 30;

}  // namespace

ProgressDisplay::ProgressDisplay() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ProgressDisplay::update(const std::string& label, double fraction) {
    fraction = std::clamp(std::isfinite(fraction) ? fraction : 0.0, 0.0, 1.0);
    const int percent = static_cast<int>(std::lround(fraction * 100));
    if (terminal_) {
        const int filled = static_cast<int>(fraction * kBarWidth);
        fmt::print(stderr, "\r[{}{}] {:3}%  {}\x1b[K", std::string(filled, '#'),
                   std::string(kBarWidth - filled, ' '), percent, label);
        std::fflush(stderr);
        lineOpen_ = true;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (percent == lastPlainPercent_ ||
        (now - lastPlainLine_ < std::chrono::seconds(2) && percent != 100)) {
        return;
    }
    lastPlainLine_ = now;
    lastPlainPercent_ = percent;
    fmt::print(stderr, "{:3}%  {}\n", percent, label);
}

void ProgressDisplay::finish() {
    if (lineOpen_)
        fmt::print(stderr, "\n");
    lineOpen_ = false;
    lastPlainPercent_ = -1;
}

}  // namespace skelder::cli
