// Exports stopped at any moment, from another thread, or failing underneath: every case ends
// within a watchdog's time, with the right error, no temporary file, and the old output either
// untouched or replaced by a complete new one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "core/cancellation.hpp"
#include "export/export_service.hpp"
#include "tests/export/full_export_job.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kFrames = 30;

struct Outcome {
    bool finished = false;  // false: still running when the watchdog gave up
    bool completed = false;
    bool cancelled = false;
    std::string error;
};

class ExportFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        kovra::RecordingOptions telemetry;
        telemetry.durationSeconds = 4;
        // With sound, so the audio pump runs beside the frames.
        testing::makeRecordingWithVideo(
            input, {.width = 160, .height = 96, .fps = 10, .seconds = 3, .audio = true}, telemetry);
        job = testing::fullExportJob(input);
        testing::writeFile(output, std::vector<std::uint8_t>{'o', 'l', 'd'});
    }

    // Runs the export on its own thread; `during` runs beside it (it may stop it). Gives up
    // waiting after `watchdog`, which fails the test: an export must never hang.
    Outcome exportWith(const std::function<void(std::stop_source&)>& during,
                       const ProgressCallback& progress = {}, std::chrono::seconds watchdog = 60s) {
        std::stop_source stop;
        std::promise<Outcome> done;
        auto result = done.get_future();
        std::thread worker([&, token = stop.get_token()] {
            Outcome outcome{true, false, false, {}};
            try {
                service.exportOverlayVideo(job, output, progress, token);
                outcome.completed = true;
            } catch (const CancellationError&) {
                outcome.cancelled = true;
            } catch (const std::exception& error) {
                outcome.error = error.what();
            }
            done.set_value(outcome);
        });
        if (during)
            during(stop);
        if (result.wait_for(watchdog) != std::future_status::ready) {
            ADD_FAILURE() << "the export did not end within " << watchdog.count() << " s";
            worker.detach();  // the process is failing anyway
            return {};
        }
        worker.join();
        return result.get();
    }

    // The old output untouched, or a complete new one; never a temporary file left.
    void expectCleanEnd(const Outcome& outcome, const std::string& context) {
        ASSERT_TRUE(outcome.finished) << context;
        EXPECT_TRUE(temporary.isEmpty()) << context;
        if (outcome.completed) {
            const auto frames = testing::ffprobe(
                output, {"-count_frames", "-select_streams", "v"})["streams"][0]["nb_read_frames"];
            EXPECT_EQ(frames, std::to_string(kFrames)) << context;
            testing::writeFile(output, std::vector<std::uint8_t>{'o', 'l', 'd'});
        } else {
            EXPECT_EQ(testing::readTextFile(output), "old") << context;
        }
    }

    testing::TempDir dir;
    testing::TemporaryFolderOverride temporary;
    std::filesystem::path input = dir / "lap.mp4";
    std::filesystem::path output = dir / "lap.full.overlay.mp4";
    OverlayExportJob job;
    ExportService service{ParallelExportConfig{3, 6, 0.0}};
};

TEST_F(ExportFaults, ACancelBeforeTheStartOrFromAnotherThreadAtAnyMomentEndsCleanly) {
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(service.exportOverlayVideo(job, output, {}, stopped.get_token()),
                 CancellationError);
    expectCleanEnd({.finished = true, .cancelled = true, .error = {}}, "stopped before the start");

    const auto start = Clock::now();
    const Outcome plain = exportWith({});
    const auto length = Clock::now() - start;
    ASSERT_TRUE(plain.completed) << plain.error;
    expectCleanEnd(plain, "uncancelled");

    // At once (before or after the export's thread begins), then on to after the end in small
    // steps: the cancel lands in reading, rendering, waiting for the encoder or the audio,
    // draining the encoder, writing the trailer and moving the file.
    std::mt19937 random(7);
    constexpr int kRuns = 25;
    int cancelled = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double steps =
            run == 0 ? 0 : run - 1 + std::uniform_real_distribution<>(0, 1)(random);
        const auto delay =
            std::chrono::duration_cast<std::chrono::microseconds>(length * steps / (kRuns - 5));
        const Outcome outcome = exportWith([&](std::stop_source& stop) {
            std::this_thread::sleep_for(delay);
            stop.request_stop();
        });
        EXPECT_TRUE(outcome.completed || outcome.cancelled) << outcome.error;
        cancelled += outcome.cancelled ? 1 : 0;
        expectCleanEnd(outcome, "cancelled after " + std::to_string(delay.count()) + " us");
    }
    EXPECT_GT(cancelled, 0);
}

TEST_F(ExportFaults, ACancelWhileTheFileIsFinishedEndsCleanly) {
    // The last frame's progress comes just before the encoder is drained and the file
    // finished. First how long that takes, then cancels from another thread spread over it.
    std::optional<Clock::time_point> lastFrame;
    const Outcome plain = exportWith({}, [&](double progress) {
        if (progress >= 0.99 && progress < 1 && !lastFrame)
            lastFrame = Clock::now();
    });
    const auto finishing = Clock::now() - lastFrame.value_or(Clock::now());
    ASSERT_TRUE(plain.completed) << plain.error;
    expectCleanEnd(plain, "uncancelled");

    constexpr int kRuns = 10;
    for (int run = 0; run < kRuns; ++run) {
        std::mutex mutex;
        std::stop_source* running = nullptr;
        std::thread canceller;
        const auto delay = finishing * run / (kRuns - 2);
        const Outcome outcome = exportWith(
            [&](std::stop_source& stop) {
                std::lock_guard lock(mutex);
                running = &stop;
            },
            [&](double progress) {
                if (progress < 0.99 || progress >= 1)
                    return;
                std::lock_guard lock(mutex);
                if (running != nullptr && !canceller.joinable()) {
                    canceller = std::thread([stop = *running, delay]() mutable {
                        std::this_thread::sleep_for(delay);
                        stop.request_stop();
                    });
                }
            });
        if (canceller.joinable())
            canceller.join();
        EXPECT_TRUE(outcome.completed || outcome.cancelled) << outcome.error;
        expectCleanEnd(outcome, "run " + std::to_string(run));
    }
}

// A disk that fills up: the process may not write files beyond a size, as when a volume is
// full, at several points of the file (the last one while the movie box is written).
TEST_F(ExportFaults, AFullDiskFailsTheExportAndKeepsTheOldOutput) {
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
    const Outcome plain = exportWith({});
    ASSERT_TRUE(plain.completed);
    const auto size = std::filesystem::file_size(output);
    testing::writeFile(output, std::vector<std::uint8_t>{'o', 'l', 'd'});
    for (const double fraction : {0.05, 0.5, 0.9, 0.995}) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit previous = limit;
        limit.rlim_cur = static_cast<rlim_t>(static_cast<double>(size) * fraction);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const Outcome outcome = exportWith({});
        ::setrlimit(RLIMIT_FSIZE, &previous);
        EXPECT_FALSE(outcome.completed) << fraction;
        EXPECT_FALSE(outcome.cancelled) << fraction;
        EXPECT_NE(outcome.error.find("File too large"), std::string::npos)
            << fraction << ": " << outcome.error;
        expectCleanEnd(outcome, "file size limit at " + std::to_string(fraction));
    }
}

TEST_F(ExportFaults, AnInputCutWhileItIsReadFailsItsReader) {
    const auto whole = std::filesystem::file_size(input);
    std::once_flag cut;
    const Outcome outcome = exportWith({}, [&](double progress) {
        if (progress > 0.2)
            std::call_once(cut, [&] { std::filesystem::resize_file(input, whole / 3); });
    });
    EXPECT_FALSE(outcome.completed);
    const bool readerFailure = outcome.error.starts_with("Video reader failed: ") ||
                               outcome.error.starts_with("Audio reader failed: ");
    EXPECT_TRUE(readerFailure) << outcome.error;
    expectCleanEnd(outcome, "input cut");
}

}  // namespace
}  // namespace skelder
