#pragma once

#include <functional>
#include <string>
#include <vector>

namespace skelder::testing {

struct CommandResult {
    int exitStatus = -1;
    std::string standardOutput;
    std::string standardError;
};

// Runs a program with arguments (no shell) and collects its output and exit status.
CommandResult runCommand(const std::vector<std::string>& arguments);

// Like runCommand, but sends SIGINT (Ctrl-C) once `ready` returns true (checked every
// 10 ms while the program runs).
CommandResult runCommandAndInterrupt(const std::vector<std::string>& arguments,
                                     const std::function<bool()>& ready);

// The skelder command line built with the tests (from the SKELDER_CLI environment variable).
std::string skelderExecutable();

}  // namespace skelder::testing
