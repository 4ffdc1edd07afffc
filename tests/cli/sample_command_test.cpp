#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sstream>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>

#include "samples/sample_recording.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;
using testing::TempDir;

std::size_t entriesIn(const std::filesystem::path& directory) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory),
                                                  std::filesystem::directory_iterator()));
}

struct TerminalRun {
    int exitStatus = -1;
    std::string output;
};

// Runs a program on a new pseudo-terminal, as a user at a shell would. `watch` sees the output
// so far whenever more arrives, with the process id.
TerminalRun runInTerminal(const std::vector<std::string>& arguments,
                          const std::function<void(pid_t, const std::string&)>& watch = {}) {
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    TerminalRun run;
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        return run;
    }
    char buffer[4096];
    for (;;) {
        pollfd ready{terminal, POLLIN, 0};
        if (::poll(&ready, 1, 60'000) <= 0) {
            ADD_FAILURE() << "no output for a minute";
            ::kill(pid, SIGKILL);
            break;
        }
        const ssize_t count = ::read(terminal, buffer, sizeof buffer);
        if (count <= 0) {
            break;  // the program ended and closed the terminal
        }
        run.output.append(buffer, static_cast<std::size_t>(count));
        if (watch)
            watch(pid, run.output);
    }
    ::close(terminal);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

TEST(SampleCommand, WritesTheLibrarysRecordingAndSaysWhere) {
    TempDir directory;
    std::filesystem::create_directory(directory / "sub");
    const auto result =
        runCommand({skelderExecutable(), "sample", (directory / "sub" / ".." / "cli.mp4").string(),
                    "--seconds", "1.5", "--size", "160x90", "--fps", "12.5", "--rotate", "180",
                    "--no-audio", "--seed", "9"});
    EXPECT_EQ(result.exitStatus, 0);
    // Off a terminal, progress comes as plain lines and nothing else is said on stderr.
    std::istringstream progressLines(result.standardError);
    for (std::string line; std::getline(progressLines, line);)
        EXPECT_TRUE(line.starts_with("Writing cli.mp4: ") && line.ends_with("%")) << line;
    EXPECT_EQ(result.standardOutput, "Wrote " + (directory / "cli.mp4").string() + "\n");

    samples::writeSampleRecording(directory / "library.mp4", {.seconds = 1.5,
                                                              .width = 160,
                                                              .height = 90,
                                                              .frameRate = {25, 2},
                                                              .rotationDegrees = 180,
                                                              .audio = false,
                                                              .seed = 9});
    const std::string written = testing::readTextFile(directory / "cli.mp4");
    EXPECT_GT(written.size(), 1000u);
    EXPECT_EQ(written, testing::readTextFile(directory / "library.mp4"));
    EXPECT_EQ(entriesIn(directory.path()), 3u);  // sub, cli.mp4, library.mp4
}

TEST(SampleCommand, BadOptionsExitWithOneAndTheReason) {
    TempDir directory;
    const std::string out = (directory / "out.mp4").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--seconds", "abc"}, "--seconds: \"abc\" is not a number of seconds"},
        {{"--seconds", "0"}, "The duration must be a positive number of seconds"},
        {{"--size", "1920"}, "--size: \"1920\" is not WIDTHxHEIGHT, e.g. 1920x1080"},
        {{"--size", "321x180"}, "The picture size must be even numbers of pixels from 64 to 7680"},
        {{"--size", "99999999999x2"},
         "--size: \"99999999999x2\" is not WIDTHxHEIGHT, e.g. 1920x1080"},
        {{"--fps", "fast"}, "--fps: \"fast\" is not a frame rate, e.g. 30, 29.97 or 30000/1001"},
        {{"--fps", "240"}, "The frame rate must be from 1 to 120 frames per second"},
        {{"--rotate", "45"}, "The rotation must be 0, 90, 180 or 270 degrees"},
        {{"--rotate", "right"}, "--rotate: \"right\" is not 0, 90, 180 or 270"},
        {{"--seed", "x"}, "--seed: \"x\" is not a whole number"},
        {{"--seed", "18446744073709551616"},
         "--seed: \"18446744073709551616\" is not a whole number"},
    };
    for (const auto& [options, message] : cases) {
        std::vector<std::string> arguments{skelderExecutable(), "sample", out};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const auto result = runCommand(arguments);
        EXPECT_EQ(result.exitStatus, 1) << message;
        EXPECT_EQ(result.standardError, message + "\n");
        EXPECT_EQ(result.standardOutput, "");
    }
    EXPECT_EQ(entriesIn(directory.path()), 0u);

    const std::string missing = (directory / "no" / "out.mp4").string();
    const auto noFolder =
        runCommand({skelderExecutable(), "sample", missing, "--seconds", "0.1", "--size", "64x64"});
    EXPECT_EQ(noFolder.exitStatus, 1);
    EXPECT_EQ(noFolder.standardError, missing + ": No such file or directory\n");

    const auto noOutput = runCommand({skelderExecutable(), "sample"});
    EXPECT_NE(noOutput.exitStatus, 0);
    EXPECT_NE(noOutput.standardError.find("OUT is required"), std::string::npos);

    const auto help = runCommand({skelderExecutable(), "sample", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* option :
         {"--seconds", "--size", "--fps", "--rotate", "--no-audio", "--seed"}) {
        EXPECT_NE(help.standardOutput.find(option), std::string::npos) << option;
    }
}

TEST(SampleCommand, CtrlCStopsAndLeavesNoFilesBehind) {
    TempDir directory;
    bool interrupted = false;
    const TerminalRun run =
        runInTerminal({skelderExecutable(), "sample", (directory / "long.mp4").string(),
                       "--seconds", "600", "--size", "320x180"},
                      [&](pid_t pid, const std::string& output) {
                          if (!interrupted && output.find(": 0%") != std::string::npos) {
                              ::kill(pid, SIGINT);
                              interrupted = true;
                          }
                      });
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(run.exitStatus, 130) << run.output;
    EXPECT_NE(run.output.find("\r\ncanceled\r\n"), std::string::npos) << run.output;
    EXPECT_EQ(entriesIn(directory.path()), 0u);
}

}  // namespace
}  // namespace skelder
