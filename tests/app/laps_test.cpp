// The laps of the listed files: found after the highlights on a worker thread from the cached
// session, applied only while still wanted, and found again where the user puts the line,
// which is remembered per recording.
#include <QTest>

#include <cmath>
#include <thread>

#include "tests/app/model_test_support.hpp"
#include "tests/support/circuit_drive.hpp"

namespace skelder::apptest {
namespace {

// A club circuit driven out, three flying laps and in, telemetry only; the provider's plain
// sessions (the laps' only use of it) wait at a gate.
class Laps : public ModelTest {
  protected:
    Laps() { testing::writeCircuitRecording(club, drive()); }
    static const testing::CircuitDrive& drive() {
        static const testing::CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 3});
        return drive;
    }
    const laps::LapAnalysis& found() const { return *model->laps(key)->analysis; }
    bool foundWithLine(std::optional<double> line) {
        return waitFor([&] {
            return model->laps(key) && model->laps(key)->lineAtSeconds == line &&
                   !model->isLapAnalysisInProgress(key);
        });
    }
    // How near a moment the nearest lap starts.
    double nearestStart(double seconds) const {
        double nearest = 1e9;
        for (const laps::Lap& lap : found().laps)
            nearest = std::min(nearest, std::abs(lap.startSeconds - seconds));
        return nearest;
    }

    const StubbornProvider& stubborn = useStubbornProvider();
    std::filesystem::path club = dir / "club.mp4";
    PathKey key = keyOf(club);
};

TEST_F(Laps, ComeAfterTheHighlightsOffTheWindowsThreadWithoutASecondExtraction) {
    makeModel();
    model->addFiles({club});
    EXPECT_TRUE(model->isLapAnalysisInProgress(key));
    ASSERT_TRUE(foundWithLine(std::nullopt));
    // The laps of the drive's own telemetry, as the recording carries it.
    const laps::LapAnalysis direct = laps::analyseLaps(drive().grid());
    ASSERT_GE(direct.laps.size(), 3u);
    ASSERT_EQ(found().laps.size(), direct.laps.size());
    for (std::size_t i = 0; i < direct.laps.size(); ++i)
        EXPECT_NEAR(found().laps[i].startSeconds, direct.laps[i].startSeconds, 0.05);
    ASSERT_EQ(stubborn.sessionThreads().size(), 1u);
    EXPECT_NE(stubborn.sessionThreads().front(), std::this_thread::get_id());
    // The session the highlights were found in holds the telemetry: read once.
    EXPECT_EQ(extractor->analyses.arrivals().size(), 1u);

    // Asked again for the same file and line: nothing runs.
    model->enqueueLapAnalysis(key);
    EXPECT_TRUE(model->queues().pendingLapAnalysisPaths.empty());
    EXPECT_TRUE(model->queues().lapAnalysisTasksByPath.empty());
}

TEST_F(Laps, AreAppliedOnlyWhileTheFileIsListedAndTheLineIsTheOneTheyWereFoundWith) {
    stubborn.sessionGate.close();
    makeModel();
    model->addFiles({club});
    ASSERT_TRUE(waitFor([&] { return stubborn.sessionGate.waiting() == 1; }));
    model->removeFile(key);
    stubborn.sessionGate.openAll();
    ASSERT_TRUE(waitFor([&] { return stubborn.sessionsReturned() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(withLaps(), 0);
    EXPECT_EQ(model->queues().activeLapAnalyses, 0);

    // Undo brings it back without laps: they are found now, and the line moves meanwhile.
    stubborn.sessionGate.close();
    model->undo();
    ASSERT_TRUE(waitFor([&] { return stubborn.sessionGate.waiting() == 1; }));
    model->setStartFinishLine(key, 100.0);
    ASSERT_TRUE(waitFor([&] { return stubborn.sessionGate.waiting() == 2; }));
    EXPECT_EQ(model->queues().activeLapAnalyses, 1);
    stubborn.sessionGate.openAll();
    ASSERT_TRUE(foundWithLine(100.0));
    EXPECT_EQ(stubborn.sessionsReturned(), 3);
    EXPECT_LT(nearestStart(100.0), 0.05);
}

TEST_F(Laps, TheLineIsRememberedPerRecordingAndMovesTheLaps) {
    makeModel();
    model->addFiles({club});
    ASSERT_TRUE(foundWithLine(std::nullopt));
    const laps::LapAnalysis atDefault = found();
    // Half way round the second lap.
    const laps::Lap& second = atDefault.laps[1];
    const double line = (second.startSeconds + second.endSeconds) / 2;
    model->setStartFinishLine(key, line);
    ASSERT_TRUE(foundWithLine(line));
    EXPECT_LT(nearestStart(line), 0.05);
    EXPECT_GT(nearestStart(second.startSeconds), 5.0);
    EXPECT_NE(found().bestLap()->timeSeconds(), atDefault.bestLap()->timeSeconds());
    const laps::LapAnalysis moved = found();

    // Removing the file keeps its line; the next run (same settings) finds the same laps.
    model->removeFile(key);
    makeModel();
    EXPECT_EQ(model->startFinishLineSeconds(key), line);
    model->addFiles({club});
    ASSERT_TRUE(foundWithLine(line));
    ASSERT_EQ(found().laps.size(), moved.laps.size());
    EXPECT_DOUBLE_EQ(found().laps[0].startSeconds, moved.laps[0].startSeconds);

    // Back to the default place, and forgotten.
    model->setStartFinishLine(key, std::nullopt);
    ASSERT_TRUE(foundWithLine(std::nullopt));
    EXPECT_DOUBLE_EQ(found().laps[0].startSeconds, atDefault.laps[0].startSeconds);
    EXPECT_FALSE(settingsFile()->contains(QStringLiteral("startFinishLineSeconds/") +
                                          QString::fromStdString(key)));
}

}  // namespace
}  // namespace skelder::apptest
