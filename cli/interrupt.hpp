#pragma once

#include <stop_token>
#include <thread>

namespace skelder::cli {

// Turns Ctrl-C (SIGINT) and SIGTERM into a stop request for long commands, so they cancel
// cleanly (temporary files removed) instead of dying mid-write. A second Ctrl-C ends the
// process at once, after removing the temporary files exports are writing.
class InterruptToStop {
  public:
    InterruptToStop();
    ~InterruptToStop();
    InterruptToStop(const InterruptToStop&) = delete;
    InterruptToStop& operator=(const InterruptToStop&) = delete;

    std::stop_token token() const { return source_.get_token(); }
    bool interrupted() const { return source_.stop_requested(); }

  private:
    std::stop_source source_;
    std::jthread watcher_;
};

}  // namespace skelder::cli
