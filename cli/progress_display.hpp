#pragma once

#include <chrono>
#include <string>

namespace skelder::cli {

// Shows progress on standard error: one line rewritten in place on a terminal, otherwise a
// plain line at most every few seconds (logs stay readable).
class ProgressDisplay {
  public:
    ProgressDisplay();
    // "LABEL: 42%" for a fraction 0…1.
    void update(const std::string& label, double fraction);
    // A status line that carries its own progress ("Exporting lap.mp4 (1/2) 42%").
    void show(const std::string& line);
    // Ends the current line.
    void finish();

  private:
    bool terminal_;
    bool lineOpen_ = false;
    std::string shown_;
    std::size_t shownWidth_ = 0;
    std::chrono::steady_clock::time_point lastPlainLine_{};
};

}  // namespace skelder::cli
