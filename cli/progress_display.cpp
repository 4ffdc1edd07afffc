#include "cli/progress_display.hpp"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace skelder::cli {
namespace {

constexpr double kPlainLineStep = 0.05;
constexpr auto kPlainLineInterval = std::chrono::seconds(10);

double clampedFraction(double fraction) {
    return std::clamp(std::isfinite(fraction) ? fraction : 0.0, 0.0, 1.0);
}

}  // namespace

ProgressDisplay::ProgressDisplay()
    : terminal_(::isatty(STDERR_FILENO) == 1), started_(Clock::now()) {}

void ProgressDisplay::update(const std::string& label, double fraction) {
    fraction = clampedFraction(fraction);
    show(fmt::format("{}: {}%", label, static_cast<int>(std::lround(fraction * 100))), fraction);
}

std::string ProgressDisplay::timeLeft(double fraction, Clock::time_point now) const {
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    if (fraction < 0.02 || fraction >= 1 || elapsed < 2)
        return {};
    const auto left = static_cast<long>(std::lround(elapsed * (1 - fraction) / fraction));
    return fmt::format(" \u00b7 {}:{:02} left", left / 60, left % 60);
}

void ProgressDisplay::show(const std::string& line, double fraction) {
    fraction = clampedFraction(fraction);
    const auto now = Clock::now();
    if (terminal_) {
        const std::string text = line + timeLeft(fraction, now);
        if (text == shown_ && lineOpen_)
            return;
        // Rewritten in place; blanks cover what a longer previous line left.
        const std::size_t padding = shownWidth_ > text.size() ? shownWidth_ - text.size() : 0;
        fmt::print(stderr, "\r{}{}", text, std::string(padding, ' '));
        std::fflush(stderr);
        lineOpen_ = true;
        shown_ = text;
        shownWidth_ = text.size();
        return;
    }
    if (line == shown_)
        return;
    const bool due = !lastPlainLine_ || fraction - lastPlainFraction_ >= kPlainLineStep - 1e-9 ||
                     now - *lastPlainLine_ >= kPlainLineInterval || line.ends_with("100%");
    if (!due)
        return;
    lastPlainLine_ = now;
    lastPlainFraction_ = fraction;
    shown_ = line;
    fmt::print(stderr, "{}\n", line);
}

void ProgressDisplay::finish() {
    if (lineOpen_)
        fmt::print(stderr, "\n");
    lineOpen_ = false;
    shown_.clear();
    shownWidth_ = 0;
}

}  // namespace skelder::cli
