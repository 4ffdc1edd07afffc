#pragma once

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

// The skelder command line built with the tests (from the SKELDER_CLI environment variable).
std::string skelderExecutable();

}  // namespace skelder::testing
