#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace skelder::cli {

// Shows progress on standard error. On a terminal: one line rewritten in place, with the time
// left once it can be told. Elsewhere (a log file, a pipe, a CI job): a plain line every 5 % of
// the work or every 10 s, whichever comes first, so logs can follow without drowning.
class ProgressDisplay {
  public:
    ProgressDisplay();
    // "LABEL: 42%" for a fraction 0…1.
    void update(const std::string& label, double fraction);
    // A status line that carries its own progress ("Exporting lap.mp4 (1/2) 42%"), with the
    // fraction of the whole work done so far.
    void show(const std::string& line, double fraction);
    // Ends the current line.
    void finish();

  private:
    using Clock = std::chrono::steady_clock;
    // " · 1:05 left", or nothing while too little is done to tell.
    std::string timeLeft(double fraction, Clock::time_point now) const;

    bool terminal_;
    bool lineOpen_ = false;
    std::string shown_;
    std::size_t shownWidth_ = 0;
    Clock::time_point started_;
    std::optional<Clock::time_point> lastPlainLine_;
    double lastPlainFraction_ = 0;
};

}  // namespace skelder::cli
