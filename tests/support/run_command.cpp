#include "tests/support/run_command.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "tests/support/temp_dir.hpp"

extern char** environ;

namespace skelder::testing {

namespace {

struct Started {
    pid_t pid = 0;
    std::filesystem::path out;
    std::filesystem::path err;
};

Started start(const std::vector<std::string>& arguments, const TempDir& scratch) {
    Started started{0, scratch / "stdout", scratch / "stderr"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, started.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, started.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int spawned =
        posix_spawnp(&started.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + arguments.front());
    return started;
}

CommandResult finished(const Started& started, int status) {
    CommandResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.endedBySignal = WIFSIGNALED(status);
    result.standardOutput = readTextFile(started.out);
    result.standardError = readTextFile(started.err);
    return result;
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& arguments) {
    TempDir scratch;
    const Started started = start(arguments, scratch);
    int status = 0;
    while (::waitpid(started.pid, &status, 0) < 0) {
    }
    return finished(started, status);
}

InterruptedRun runCommandInterruptedAt(const std::vector<std::string>& arguments,
                                       const std::vector<double>& signalSeconds,
                                       double watchdogSeconds) {
    using Clock = std::chrono::steady_clock;
    TempDir scratch;
    const Started started = start(arguments, scratch);
    const auto begin = Clock::now();
    std::optional<Clock::time_point> lastSignal;
    std::size_t sent = 0;
    int status = 0;
    InterruptedRun run;
    for (;;) {
        if (::waitpid(started.pid, &status, WNOHANG) == started.pid)
            break;
        const auto now = Clock::now();
        if (sent < signalSeconds.size() &&
            now - begin >= std::chrono::duration<double>(signalSeconds[sent])) {
            ::kill(started.pid, SIGINT);
            lastSignal = now;
            ++sent;
        }
        if (lastSignal && now - *lastSignal > std::chrono::duration<double>(watchdogSeconds)) {
            run.hung = true;
            ::kill(started.pid, SIGKILL);
            ::waitpid(started.pid, &status, 0);
            break;
        }
        ::usleep(2'000);
    }
    if (lastSignal) {
        run.secondsAfterLastSignal =
            std::chrono::duration<double>(Clock::now() - *lastSignal).count();
    }
    run.result = finished(started, status);
    return run;
}

std::string skelderExecutable() {
    const char* path = std::getenv("SKELDER_CLI");
    if (path == nullptr)
        throw std::runtime_error("SKELDER_CLI is not set");
    return path;
}

}  // namespace skelder::testing
