#include "tests/support/run_command.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/temp_dir.hpp"

extern char** environ;

namespace skelder::testing {

namespace {

CommandResult run(const std::vector<std::string>& arguments, const std::function<bool()>* ready) {
    TempDir scratch;
    const auto outPath = scratch / "stdout";
    const auto errPath = scratch / "stderr";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + arguments.front());

    int status = 0;
    if (ready != nullptr) {
        bool interrupted = false;
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid)
                break;
            if (!interrupted && (*ready)()) {
                ::kill(pid, SIGINT);
                interrupted = true;
            }
            ::usleep(10'000);
        }
    } else {
        while (::waitpid(pid, &status, 0) < 0) {
        }
    }
    CommandResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.standardOutput = readTextFile(outPath);
    result.standardError = readTextFile(errPath);
    return result;
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& arguments) {
    return run(arguments, nullptr);
}

CommandResult runCommandAndInterrupt(const std::vector<std::string>& arguments,
                                     const std::function<bool()>& ready) {
    return run(arguments, &ready);
}

std::string skelderExecutable() {
    const char* path = std::getenv("SKELDER_CLI");
    if (path == nullptr)
        throw std::runtime_error("SKELDER_CLI is not set");
    return path;
}

}  // namespace skelder::testing
