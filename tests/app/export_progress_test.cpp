// The per-file picture of a running export, read from the workflow's reports, and its
// estimate of the time left.

#include "app/export_progress.hpp"
#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

using namespace std::chrono_literals;
using Clock = ExportProgressTracker::Clock;

std::vector<ExportFileState> states(const ExportProgressSnapshot& snapshot) {
    std::vector<ExportFileState> result;
    for (const ExportFileProgress& file : snapshot.files)
        result.push_back(file.state);
    return result;
}

TEST(ExportProgressTracker, FollowsAFullExportFileByFileAndABestLapsReelStepByStep) {
    const Clock::time_point t0 = Clock::now();
    ExportProgressTracker tracker;
    tracker.start(ProcessingMode::full, {"a.mp4", "b.mp4", "a.mp4"}, t0);
    EXPECT_EQ(states(tracker.snapshot()),
              (std::vector{ExportFileState::waiting, ExportFileState::waiting,
                           ExportFileState::waiting}));

    tracker.activeFile("a.mp4");
    tracker.status("Processing a.mp4 (1/3)", t0);
    EXPECT_EQ(tracker.snapshot().step, ExportStep::readingTelemetry);
    EXPECT_EQ(tracker.snapshot().currentFile, 0u);
    tracker.status("Exporting a.mp4 (1/3) 50%", t0 + 1s);
    tracker.progress(0.5 / 3, t0 + 1s);
    EXPECT_EQ(tracker.snapshot().step, ExportStep::encodingFile);
    EXPECT_DOUBLE_EQ(tracker.snapshot().files[0].fraction, 0.5);
    // Too early for an estimate.
    EXPECT_FALSE(tracker.snapshot().secondsLeft);
    tracker.progress(1.0 / 3, t0 + 3s);
    tracker.status("Exported: a.full.overlay.mp4", t0 + 3s);
    EXPECT_EQ(tracker.snapshot().files[0].state, ExportFileState::done);
    // A third done in 3 s: 6 s to go.
    ASSERT_TRUE(tracker.snapshot().secondsLeft);
    EXPECT_NEAR(*tracker.snapshot().secondsLeft, 6, 1e-9);

    tracker.activeFile("b.mp4");
    tracker.status("Processing b.mp4 (2/3)", t0 + 3s);
    tracker.progress(2.0 / 3, t0 + 4s);
    tracker.status("Skipped b.mp4: No telemetry track (handler 'adrv') found", t0 + 4s);
    EXPECT_EQ(tracker.snapshot().files[1].state, ExportFileState::failed);
    EXPECT_EQ(tracker.snapshot().files[1].note, "No telemetry track (handler 'adrv') found");

    // The second a.mp4 is the third file, not the first again.
    tracker.activeFile("a.mp4");
    EXPECT_EQ(tracker.snapshot().currentFile, 2u);
    tracker.progress(2.5 / 3, t0 + 5s);
    EXPECT_NEAR(tracker.snapshot().files[2].fraction, 0.5, 1e-9);
    EXPECT_EQ(
        states(tracker.snapshot()),
        (std::vector{ExportFileState::done, ExportFileState::failed, ExportFileState::working}));

    // Started again for a best laps reel: it finds the laps, then encodes the reel.
    tracker.start(ProcessingMode::bestLaps, {"a.mp4"}, t0);
    tracker.activeFile("a.mp4");
    tracker.status("Preparing a.mp4 (1/1)", t0);
    EXPECT_EQ(tracker.snapshot().step, ExportStep::findingLaps);
    tracker.status("Exporting best laps reel 0%", t0 + 1s);
    EXPECT_EQ(tracker.snapshot().step, ExportStep::encodingReel);
}

}  // namespace
}  // namespace skelder::apptest
