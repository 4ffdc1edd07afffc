#pragma once

#include <string>
#include <vector>

namespace skelder::testing {

struct CommandResult {
    int exitStatus = -1;  // 128 + the signal's number when a signal ended it
    bool endedBySignal = false;
    std::string standardOutput;
    std::string standardError;
};

// Runs a program with arguments (no shell) and collects its output and exit status.
CommandResult runCommand(const std::vector<std::string>& arguments);

// Runs a program and sends it SIGINT at each of the given times (seconds after the start).
// A program still running `watchdogSeconds` after the last signal is killed and reported as
// hung.
struct InterruptedRun {
    CommandResult result;
    bool hung = false;
    double secondsAfterLastSignal = 0;  // until it ended
};
InterruptedRun runCommandInterruptedAt(const std::vector<std::string>& arguments,
                                       const std::vector<double>& signalSeconds,
                                       double watchdogSeconds);

// The skelder command line built with the tests (from the SKELDER_CLI environment variable).
std::string skelderExecutable();

}  // namespace skelder::testing
