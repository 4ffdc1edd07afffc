// The export actions of the model: checks, the output panel, one export at a time, the hooks
// mirrored into the model, cancellation and the result.
#include <QSignalSpy>

#include <cmath>

#include "laps/lap_texts.hpp"
#include "tests/app/model_test_support.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/circuit_drive.hpp"
#include "tests/support/ffmpeg_tools.hpp"

namespace skelder::apptest {
namespace {

using Files = std::vector<std::filesystem::path>;

class ExportActions : public ReadyModelTest {
  protected:
    bool exportEnded() {
        return waitFor([&] { return !model->isProcessing(); });
    }
};

TEST_F(ExportActions, NothingSelectedAsksForASelectionWithoutAPanel) {
    writeRecordingWithoutTelemetry(dir / "bad.mp4");
    model->addFiles({dir / "bad.mp4"});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    model->setAllSelected(false);
    model->addFiles({dir / "bad.mp4"});  // selects the failed file again, which is not exported
    model->startExport();
    EXPECT_EQ(model->statusMessage(), "Select at least one MP4 file first");
    EXPECT_EQ(panel->outputPanelsShown, 0);
}

TEST_F(ExportActions, AFullExportReportsItsCompletionAndWhatItLeftOut) {
    const Files files = {videoRecording("b.mp4"), videoRecording("a.mp4")};
    addAnalysed(files);
    model->setSelectedMode(ProcessingMode::full);
    model->setOverlayTimingDebugHUDEnabled(true);  // never reaches a full export
    model->setSpeedUnit(SpeedUnit::kmh);
    std::filesystem::create_directories(dir / "out");
    panel->outputTarget = FolderTarget{dir / "out"};
    exporter->notices = {"The audio was left out."};
    QSignalSpy processing(model.get(), &AppViewModel::isProcessingChanged);
    model->startExport();
    EXPECT_TRUE(model->isProcessing());
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(processing.count(), 2);
    EXPECT_EQ(model->statusMessage(),
              "Done: 2 full file(s) exported — a.full.overlay.mp4: The audio was left out. "
              "b.full.overlay.mp4: The audio was left out.");
    EXPECT_EQ(model->progress(), 1.0);
    EXPECT_FALSE(model->activeFileName());
    ASSERT_TRUE(model->completionSummary());
    EXPECT_EQ(model->completionSummary()->title, "Export Complete");
    EXPECT_EQ(model->completionSummary()->message,
              "Exported 2 full video file(s).\n\na.full.overlay.mp4: The audio was left out.\n"
              "b.full.overlay.mp4: The audio was left out.");
    EXPECT_EQ(model->completionSummary()->outputURLs,
              (Files{dir / "out" / "a.full.overlay.mp4", dir / "out" / "b.full.overlay.mp4"}));
    EXPECT_TRUE(model->isCompletionAlertPresented());
    // The panel saw the selected files in list order and the proposed reel name.
    EXPECT_EQ(panel->lastInputs, (Files{dir / "a.mp4", dir / "b.mp4"}));
    EXPECT_EQ(panel->lastDefaultReelName, "highlights.reel.mp4");
    EXPECT_EQ(panel->lastMode, ProcessingMode::full);
    for (const auto& call : exporter->calls()) {
        EXPECT_EQ(call.options.timeOffsetSeconds, 0.65);
        EXPECT_FALSE(call.options.debugHUDEnabled);
        EXPECT_EQ(call.options.speedUnit, SpeedUnit::kmh);
    }
    model->dismissCompletion();
    EXPECT_FALSE(model->completionSummary());
    EXPECT_FALSE(model->isCompletionAlertPresented());

    // A cancelled panel says so and clears the last result.
    model->startExport();
    ASSERT_TRUE(exportEnded());
    ASSERT_TRUE(model->completionSummary());
    panel->outputTarget.reset();
    model->startExport();
    EXPECT_EQ(model->statusMessage(), "Export canceled");
    EXPECT_FALSE(model->completionSummary());
    EXPECT_FALSE(model->isProcessing());
    EXPECT_EQ(exporter->calls().size(), 4u);
}

// The lap elements and the frame's shape chosen in the window reach every export; a HUD layer
// keeps the recording's own shape and is named NAME.hud.mov.
TEST_F(ExportActions, TheLapElementsAndTheShapeReachTheExportsAndTheLayerKeepsItsShape) {
    const Files files = {videoRecording("a.mp4")};
    addAnalysed(files);
    const LapHudElements elements{.timer = true, .gap = true};
    model->setLapHudElements(elements);
    model->setVideoShape({.vertical = true, .cropFollowsBends = true});
    std::filesystem::create_directories(dir / "out");
    panel->outputTarget = FolderTarget{dir / "out"};
    model->setSelectedMode(ProcessingMode::full);
    model->startExport();
    ASSERT_TRUE(exportEnded());
    model->setSelectedMode(ProcessingMode::hudLayer);
    model->startExport();
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(model->statusMessage(), "Done: 1 HUD layer file(s) exported");
    EXPECT_EQ(panel->lastMode, ProcessingMode::hudLayer);

    const auto calls = exporter->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].layer);
    EXPECT_EQ(calls[0].options.lapHud, elements);
    EXPECT_TRUE(calls[0].options.vertical);
    EXPECT_TRUE(calls[0].options.cropFollowsBends);
    EXPECT_TRUE(calls[1].layer);
    EXPECT_EQ(calls[1].outputURL, dir / "out" / "a.hud.mov");
    EXPECT_EQ(calls[1].options.lapHud, elements);
    EXPECT_FALSE(calls[1].options.vertical);
}

TEST_F(ExportActions, AnExportWhileExportingDoesNothingAndCancellingEndsIt) {
    const Files files = {videoRecording("a.mp4")};
    addAnalysed(files);
    model->setSelectedMode(ProcessingMode::full);
    panel->outputTarget = SingleFileTarget{dir / "out.mp4"};
    exporter->holdUntilCancelled = true;

    model->startExport();
    ASSERT_TRUE(waitFor([&] { return exporter->waitingForCancel == 1; }));
    ASSERT_TRUE(waitFor([&] { return model->statusMessage() == "Exporting a.mp4 (1/1) 50%"; }));
    EXPECT_EQ(model->progress(), 0.5);
    EXPECT_EQ(model->activeFileName(), QString("a.mp4"));

    model->startExport();
    EXPECT_EQ(panel->outputPanelsShown, 1);
    EXPECT_EQ(exporter->calls().size(), 1u);
    // Actions that would change the export's inputs wait too.
    model->removeSelectedFiles();
    model->removeFile(keyOf(files[0]));
    model->reanalyzeFile(keyOf(files[0]));
    model->clearAll();
    EXPECT_EQ(model->droppedFiles().size(), 1u);
    EXPECT_NE(model->highlightSegments(keyOf(files[0])), nullptr);

    model->cancelExport();
    EXPECT_EQ(model->statusMessage(), "Canceling export\u2026");
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(model->statusMessage(), "Export canceled");
    EXPECT_EQ(model->progress(), 0.5);  // a cancellation leaves the progress as it was
    EXPECT_FALSE(model->completionSummary());
    EXPECT_FALSE(model->isCompletionAlertPresented());
    EXPECT_FALSE(model->activeFileName());

    // Idle again: a new export can start, and cancelling without one does nothing.
    model->cancelExport();
    EXPECT_EQ(model->statusMessage(), "Export canceled");
    exporter->holdUntilCancelled = false;
    model->startExport();
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(model->statusMessage(), "Done: 1 full file(s) exported");
}

TEST_F(ExportActions, TheReelReadsTheExclusionsWhenItReachesEachFile) {
    const Files files = drives({"a.mp4", "b.mp4"}, 60);
    addAnalysed(files);
    const PathKey b = keyOf(files[1]);
    const auto segmentsOfB = *model->highlightSegments(b);
    ASSERT_GE(segmentsOfB.size(), 2u);
    // A new modification time makes the export analyse b afresh, behind the gate.
    std::filesystem::last_write_time(
        files[1], std::filesystem::last_write_time(files[1]) + std::chrono::hours(1));
    extractor->analyses.close();
    model->setOverlayTimeOffsetMilliseconds(100);
    panel->outputTarget = SingleFileTarget{dir / "reel.mp4"};

    model->startExport();
    ASSERT_TRUE(waitFor([&] { return extractor->analyses.waiting() == 1; }));
    EXPECT_EQ(extractor->analyses.arrivals().back(), "b.mp4");
    // Changed after the export started, before it reached b: the exclusion counts, the offset
    // does not.
    model->toggleHighlightSegmentInclusion(b, PlannedSegmentKey::of(segmentsOfB.back()));
    model->setOverlayTimeOffsetMilliseconds(900);
    extractor->analyses.openAll();
    ASSERT_TRUE(exportEnded());

    const auto calls = exporter->calls();
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].reel.size(), 2u);
    EXPECT_EQ(calls[0].reel[1].highlightSegments,
              std::vector<PlannedSegment>(segmentsOfB.begin(), segmentsOfB.end() - 1));
    EXPECT_EQ(calls[0].options.timeOffsetSeconds, 0.1);
}

// A camera's video of a club circuit with its telemetry: the reel holds the best lap as found
// with the line the user put, line to line as the picture shows it.
TEST_F(ExportActions, ARealBestLapsReelHoldsTheBestLapFoundWithTheFilesLine) {
    AppServices real = services();
    real.exportService = {};
    real.loadVideoDuration = {};
    model = std::make_unique<AppViewModel>(real);
    const testing::CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 3});
    testing::CameraRecordingSpec camera{.name = "app_best_laps",
                                        .displayWidth = 160,
                                        .displayHeight = 90,
                                        .frameRate = "10",
                                        .audio = testing::CameraAudio::none,
                                        .seconds = std::ceil(drive.endSeconds())};
    const auto club = dir / "club.mp4";
    testing::writeCircuitRecording(club, drive, testing::cameraVideo(camera));
    model->addFiles({club});
    ASSERT_TRUE(waitFor([&] { return model->laps(keyOf(club)) != nullptr; }));
    model->setStartFinishLine(keyOf(club), 100.0);
    ASSERT_TRUE(waitFor([&] {
        const FileLaps* found = model->laps(keyOf(club));
        return found->lineAtSeconds == 100.0 && !model->isLapAnalysisInProgress(keyOf(club));
    }));
    const laps::LapAnalysis& found = *model->laps(keyOf(club))->analysis;
    const laps::Lap best = *found.bestLap();
    model->setSelectedMode(ProcessingMode::bestLaps);
    model->setOverlayTimeOffsetMilliseconds(300);
    panel->outputTarget = SingleFileTarget{dir / "best.mp4"};

    model->startExport();
    ASSERT_TRUE(exportEnded());
    EXPECT_EQ(panel->lastMode, ProcessingMode::bestLaps);
    EXPECT_EQ(panel->lastDefaultReelName, "club.bestlaps.mp4");
    ASSERT_TRUE(model->completionSummary()) << model->statusMessage().toStdString();
    EXPECT_EQ(model->completionSummary()->title, "Best Laps Reel Ready");
    const QString bestLine =
        QStringLiteral("Best lap %1 of %2: %3")
            .arg(best.number)
            .arg(found.laps.size())
            .arg(QString::fromStdString(laps::lapTimeText(best.timeSeconds())));
    EXPECT_EQ(model->highlightSegmentLines().mid(0, 2), (QStringList{"[club.mp4]", bestLine}));
    EXPECT_EQ(model->exportProgress().files.at(0).note, bestLine.toStdString());
    const double duration =
        std::stod(testing::ffprobe(dir / "best.mp4")["format"]["duration"].get<std::string>());
    EXPECT_NEAR(duration, best.timeSeconds(), 0.15);
}

}  // namespace
}  // namespace skelder::apptest
