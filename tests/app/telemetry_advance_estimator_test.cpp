// The Auto button's worker: one estimate at a time, reported on the owner's thread, never
// after a cancel, and a prompt stop when its owner goes while it listens.
#include "app/telemetry_advance_estimator.hpp"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "core/cancellation.hpp"

namespace skelder {
namespace {

using namespace std::chrono_literals;

TEST(TelemetryAdvanceEstimator, ReportsOnTheOwnersThreadAndSaysWhatFailed) {
    TelemetryAdvanceEstimator estimator([](const std::filesystem::path& recording,
                                           std::stop_token) -> sync::TelemetryOffsetEstimate {
        if (recording.filename() == "cut.mp4")
            throw std::runtime_error("Failed to read file: the file changed while it was read");
        return sync::TelemetryOffsetEstimate{.offsetMilliseconds = 240.6,
                                             .confidence = 0.9,
                                             .trusted = true,
                                             .noEstimateReason = {}};
    });
    QSignalSpy finished(&estimator, &TelemetryAdvanceEstimator::finished);
    QSignalSpy running(&estimator, &TelemetryAdvanceEstimator::runningChanged);

    estimator.start("/rec/lap.mp4");
    EXPECT_TRUE(estimator.isRunning());
    ASSERT_TRUE(finished.wait(5000));
    auto outcome = finished.takeFirst().first().value<TelemetryAdvanceOutcome>();
    EXPECT_EQ(outcome.milliseconds, 241);
    EXPECT_EQ(outcome.message, "+241 ms from the engine sound of lap.mp4 (confidence 0.90).");
    EXPECT_FALSE(estimator.isRunning());
    EXPECT_EQ(running.count(), 2);

    estimator.start("/rec/cut.mp4");
    ASSERT_TRUE(finished.wait(5000));
    outcome = finished.takeFirst().first().value<TelemetryAdvanceOutcome>();
    EXPECT_FALSE(outcome.milliseconds);
    EXPECT_EQ(outcome.message,
              "No estimate for cut.mp4: Failed to read file: the file changed while it was read");
}

TEST(TelemetryAdvanceEstimator, ACancelOrANewStartDropsTheRunningEstimate) {
    std::atomic<int> started = 0;
    // Each estimate listens until it is stopped (or a minute passes).
    TelemetryAdvanceEstimator estimator([&](const std::filesystem::path&, std::stop_token stop) {
        ++started;
        std::mutex mutex;
        std::condition_variable_any stopped;
        std::unique_lock lock(mutex);
        stopped.wait_for(lock, stop, 60s, [] { return false; });
        throwIfCancelled(stop);
        return sync::TelemetryOffsetEstimate{};
    });
    QSignalSpy finished(&estimator, &TelemetryAdvanceEstimator::finished);
    estimator.start("/rec/a.mp4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 1; }, 5000));
    estimator.start("/rec/b.mp4");  // stops a first
    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 2; }, 5000));
    const auto before = std::chrono::steady_clock::now();
    estimator.cancel();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_FALSE(estimator.isRunning());
    QTest::qWait(100);
    EXPECT_EQ(finished.count(), 0);
}

}  // namespace
}  // namespace skelder
