#include "export/output_file.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "export/video_output_settings.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

TEST(MoveIntoPlace, MovesAndReplaces) {
    testing::TempDir dir;
    const auto temporary = dir / "t.mp4";
    const auto output = dir / "out.mp4";
    testing::writeFile(temporary, std::vector<std::uint8_t>{1, 2, 3});
    moveIntoPlace(temporary, output);
    EXPECT_EQ(testing::readTextFile(output), std::string("\1\2\3"));
    EXPECT_FALSE(std::filesystem::exists(temporary));

    testing::writeFile(temporary, std::vector<std::uint8_t>{9});
    moveIntoPlace(temporary, output);
    EXPECT_EQ(testing::readTextFile(output), std::string("\x09"));

    testing::writeFile(temporary, std::vector<std::uint8_t>{7});
    EXPECT_THROW(moveIntoPlace(temporary, dir / "no-folder" / "out.mp4"),
                 std::filesystem::filesystem_error);
    removeItemIfPresent(temporary);
    removeItemIfPresent(temporary);  // nothing there: no error
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

// Exports finishing into one folder from another file system, at once, each copy to a staging
// name of their own and replace what the last one left; a copy that fails (the disk fills up)
// leaves no output and no staging file.
TEST(MoveIntoPlace, StagingNamesAreEachExportsOwnAndAFailedCopyLeavesNothing) {
    // Shared memory is its own file system on Linux; without it there is nothing to test.
    const std::filesystem::path shm = "/dev/shm";
    testing::TempDir dir;
    struct stat shared {
    }, here{};
    if (::stat(shm.c_str(), &shared) != 0 || ::stat(dir.path().c_str(), &here) != 0 ||
        shared.st_dev == here.st_dev)
        GTEST_SKIP() << "no second file system here";
    const auto output = dir / "out.mp4";
    std::vector<std::filesystem::path> temporaries;
    for (int i = 0; i < 6; ++i) {
        temporaries.push_back(shm / fmt::format("skelder-move-{}-{}.mp4", ::getpid(), i));
        testing::writeFile(temporaries.back(),
                           std::vector<std::uint8_t>(400000, static_cast<std::uint8_t>(i)));
    }
    std::vector<std::thread> movers;
    std::atomic<int> failures = 0;
    for (const auto& temporary : temporaries) {
        movers.emplace_back([&, temporary] {
            try {
                moveIntoPlace(temporary, output);
            } catch (const std::exception&) {
                ++failures;
            }
        });
    }
    for (auto& mover : movers)
        mover.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(std::filesystem::file_size(output), 400000u);  // one of them, whole
    for (const auto& temporary : temporaries)
        EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    ::signal(SIGXFSZ, SIG_IGN);
    const auto big = shm / fmt::format("skelder-move-{}-big.mp4", ::getpid());
    testing::writeFile(big, std::vector<std::uint8_t>(300000, 9));
    const auto fresh = dir / "fresh.mp4";
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit previous = limit;
    limit.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_THROW(moveIntoPlace(big, fresh), std::filesystem::filesystem_error);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "a staging file was left";
    std::filesystem::remove(big);
}

TEST(VideoOutputSettings, TheSourcesBitRateAtLeastTenAndAtMostAHundredAndTwentyMegabits) {
    EXPECT_EQ(videoOutputSettings(1920, 1080, 30, 0).averageBitRate, 12'441'600);
    EXPECT_EQ(videoOutputSettings(640, 480, 30, 0).averageBitRate, 10'000'000);
    EXPECT_EQ(videoOutputSettings(1920, 1080, 30, 20'000'000).averageBitRate, 22'000'000);
    EXPECT_EQ(videoOutputSettings(3840, 2160, 60, 200'000'000).averageBitRate, 120'000'000);
}

}  // namespace
}  // namespace skelder
