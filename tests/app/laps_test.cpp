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

class Laps : public ModelTest {
  protected:
    Laps() {
        provider = std::make_shared<StubbornProvider>(std::make_shared<TelemetrySessionProvider>(
            extractor, std::make_shared<TelemetrySessionCache>()));
    }
    const StubbornProvider& stubborn() const {
        return static_cast<const StubbornProvider&>(*provider);
    }

    // A club circuit driven out, three flying laps and in.
    static const testing::CircuitDrive& clubDrive() {
        static const testing::CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 3});
        return drive;
    }
    // Its recording, telemetry only.
    std::filesystem::path circuit(const std::string& name) {
        const std::filesystem::path path = dir / name;
        testing::writeCircuitRecording(path, clubDrive());
        return path;
    }
    const laps::LapAnalysis* lapsOf(const std::filesystem::path& file) const {
        const FileLaps* found = model->laps(keyOf(file));
        return found ? found->analysis.get() : nullptr;
    }
    bool lapsFoundWithLine(const std::filesystem::path& file, std::optional<double> line) {
        return waitFor([&] {
            const FileLaps* found = model->laps(keyOf(file));
            return found && found->lineAtSeconds == line &&
                   !model->isLapAnalysisInProgress(keyOf(file));
        });
    }
};

// The lap whose start is nearest a moment, and how near.
double nearestStart(const laps::LapAnalysis& analysis, double seconds) {
    double nearest = 1e9;
    for (const laps::Lap& lap : analysis.laps)
        nearest = std::min(nearest, std::abs(lap.startSeconds - seconds));
    return nearest;
}

TEST_F(Laps, ComeAfterTheHighlightsOffTheWindowsThreadWithoutASecondExtraction) {
    makeModel();
    const auto club = circuit("club.mp4");
    model->addFiles({club});
    EXPECT_TRUE(model->isLapAnalysisInProgress(keyOf(club)));
    ASSERT_TRUE(lapsFoundWithLine(club, std::nullopt));

    // The laps of the drive's own telemetry, as the recording carries it.
    const laps::LapAnalysis* found = lapsOf(club);
    ASSERT_NE(found, nullptr);
    const laps::LapAnalysis direct = laps::analyseLaps(clubDrive().grid());
    ASSERT_GE(direct.laps.size(), 3u);
    ASSERT_EQ(found->laps.size(), direct.laps.size());
    for (std::size_t i = 0; i < direct.laps.size(); ++i)
        EXPECT_NEAR(found->laps[i].startSeconds, direct.laps[i].startSeconds, 0.05);
    EXPECT_TRUE(found->outLap && found->inLap);
    ASSERT_EQ(stubborn().sessionThreads().size(), 1u);
    EXPECT_NE(stubborn().sessionThreads().front(), std::this_thread::get_id());
    // The session the highlights were found in holds the telemetry: read once.
    EXPECT_EQ(extractor->analyses.arrivals().size(), 1u);
    EXPECT_EQ(model->queues().activeLapAnalyses, 0);

    // Asked again for the same file and line: nothing runs.
    model->enqueueLapAnalysis(keyOf(club));
    EXPECT_TRUE(model->queues().pendingLapAnalysisPaths.empty());
    EXPECT_TRUE(model->queues().lapAnalysisTasksByPath.empty());
}

TEST_F(Laps, AreAppliedOnlyWhileTheFileIsListedAndTheLineIsTheOneTheyWereFoundWith) {
    stubborn().sessionGate.close();
    makeModel();
    const auto club = circuit("club.mp4");
    model->addFiles({club});
    ASSERT_TRUE(waitFor([&] { return stubborn().sessionGate.waiting() == 1; }));
    model->removeFile(keyOf(club));
    stubborn().sessionGate.openAll();
    ASSERT_TRUE(waitFor([&] { return stubborn().sessionsReturned() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(withLaps(), 0);
    EXPECT_EQ(model->queues().activeLapAnalyses, 0);

    // Undo brings it back without laps: they are found now.
    stubborn().sessionGate.close();
    model->undo();
    ASSERT_TRUE(waitFor([&] { return stubborn().sessionGate.waiting() == 1; }));
    // The line moves while the first analysis runs: that one's late result is dropped.
    model->setStartFinishLine(keyOf(club), 100.0);
    ASSERT_TRUE(waitFor([&] { return stubborn().sessionGate.waiting() == 2; }));
    EXPECT_EQ(model->queues().activeLapAnalyses, 1);
    stubborn().sessionGate.openAll();
    ASSERT_TRUE(lapsFoundWithLine(club, 100.0));
    EXPECT_EQ(stubborn().sessionsReturned(), 3);
    EXPECT_LT(nearestStart(*lapsOf(club), 100.0), 0.05);
}

TEST_F(Laps, TheLineIsRememberedPerRecordingAndMovesTheLaps) {
    makeModel();
    const auto club = circuit("club.mp4");
    model->addFiles({club});
    ASSERT_TRUE(lapsFoundWithLine(club, std::nullopt));
    const auto atDefault = model->laps(keyOf(club))->analysis;
    // Half way round the second lap.
    const laps::Lap& second = atDefault->laps[1];
    const double line = (second.startSeconds + second.endSeconds) / 2;

    model->setStartFinishLine(keyOf(club), line);
    EXPECT_EQ(model->startFinishLineSeconds(keyOf(club)), line);
    ASSERT_TRUE(lapsFoundWithLine(club, line));
    const auto moved = model->laps(keyOf(club))->analysis;
    EXPECT_LT(nearestStart(*moved, line), 0.05);
    EXPECT_GT(nearestStart(*moved, second.startSeconds), 5.0);
    EXPECT_NE(moved->bestLap()->timeSeconds(), atDefault->bestLap()->timeSeconds());

    // Removing the file keeps its line; the next run (same settings) finds the same laps.
    model->removeFile(keyOf(club));
    makeModel();
    EXPECT_EQ(model->startFinishLineSeconds(keyOf(club)), line);
    model->addFiles({club});
    ASSERT_TRUE(lapsFoundWithLine(club, line));
    ASSERT_EQ(lapsOf(club)->laps.size(), moved->laps.size());
    for (std::size_t i = 0; i < moved->laps.size(); ++i)
        EXPECT_DOUBLE_EQ(lapsOf(club)->laps[i].startSeconds, moved->laps[i].startSeconds);

    // Back to the default place, and forgotten.
    model->setStartFinishLine(keyOf(club), std::nullopt);
    ASSERT_TRUE(lapsFoundWithLine(club, std::nullopt));
    EXPECT_DOUBLE_EQ(lapsOf(club)->laps[0].startSeconds, atDefault->laps[0].startSeconds);
    EXPECT_FALSE(settingsFile()->contains(QStringLiteral("startFinishLineSeconds/") +
                                          QString::fromStdString(keyOf(club))));
}

TEST_F(Laps, ADriveWithoutLapsSaysWhyAndAFileThatCannotBeReadHasNone) {
    makeModel();
    const auto road = dir / "road.mp4";
    testing::writeCircuitRecording(road,
                                   testing::CircuitDrive(testing::road(), {.openRoad = true}));
    model->addFiles({road});
    ASSERT_TRUE(lapsFoundWithLine(road, std::nullopt));
    EXPECT_EQ(lapsOf(road)->noLaps, laps::NoLapsReason::noRepetition);
    EXPECT_TRUE(lapsOf(road)->laps.empty());

    // A failed highlight analysis brings no laps, and nothing waits for them.
    const auto cut = drive("cut.mp4", 60);
    extractor->analyses.close();
    model->addFiles({cut});
    ASSERT_TRUE(waitFor([&] { return extractor->analyses.waiting() == 1; }));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    extractor->analyses.openAll();
    ASSERT_TRUE(waitFor([&] { return model->highlightAnalysisFailure(keyOf(cut)).has_value(); }));
    EXPECT_FALSE(model->isLapAnalysisInProgress(keyOf(cut)));
    EXPECT_EQ(model->laps(keyOf(cut)), nullptr);
}

}  // namespace
}  // namespace skelder::apptest
