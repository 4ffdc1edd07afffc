#pragma once

#include <chrono>
#include <string>

namespace skelder::cli {

// Shows progress on standard error as "LABEL: 42%": one line rewritten in place on a
// terminal, otherwise a plain line at most every few seconds (logs stay readable).
class ProgressDisplay {
  public:
    ProgressDisplay();
    // A fraction 0…1 with a label (the file or step).
    void update(const std::string& label, double fraction);
    // Ends the current bar line.
    void finish();

  private:
    bool terminal_;
    bool lineOpen_ = false;
    std::chrono::steady_clock::time_point lastPlainLine_{};
    int lastPercent_ = -1;
};

}  // namespace skelder::cli
