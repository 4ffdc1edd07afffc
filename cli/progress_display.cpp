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
    show(fmt::format("{}: {}%", label, static_cast<int>(std::lround(fraction * 100))));
}

void ProgressDisplay::show(const std::string& line) {
    if (line == shown_ && (lineOpen_ || !terminal_))
        return;
    if (terminal_) {
        // Rewritten in place; blanks cover what a longer previous line left.
        const std::size_t padding = shownWidth_ > line.size() ? shownWidth_ - line.size() : 0;
        fmt::print(stderr, "\r{}{}", line, std::string(padding, ' '));
        std::fflush(stderr);
        lineOpen_ = true;
        shown_ = line;
        shownWidth_ = line.size();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const bool complete = line.ends_with("100%");
    if (now - lastPlainLine_ < std::chrono::seconds(2) && !complete)
        return;
    lastPlainLine_ = now;
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
