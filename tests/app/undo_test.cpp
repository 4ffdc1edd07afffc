// Taking back removals: one file, the selected files, the skipped files or the whole list come
// back with their scan results, segments, exclusions, thumbnails and laps, in one step per
// removal.
#include <QSignalSpy>
#include <QTest>

#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

class Undo : public ReadyModelTest {};

TEST_F(Undo, BringsBackARemovedFileWithEverythingKnownOfIt) {
    const auto files = drives({"a.mp4", "b.mp4"}, 60);
    addAnalysed(files);
    const PathKey a = keyOf(files[0]);
    const auto segments = *model->highlightSegments(a);
    const PlannedSegmentKey excluded = PlannedSegmentKey::of(segments.front());
    model->toggleHighlightSegmentInclusion(a, excluded);
    const auto statusBefore = model->file(a)->quickScanStatus;
    const qint64 thumbnail = model->thumbnail(a).cacheKey();
    const auto laps = model->laps(a)->analysis;
    const auto scansBefore = extractor->quickScans.arrivals().size();
    const auto analysesBefore = extractor->analyses.arrivals().size();
    EXPECT_FALSE(model->canUndo());

    QSignalSpy history(model.get(), &AppViewModel::removalsChanged);
    model->removeFile(a);
    EXPECT_EQ(listedNames(), std::vector<std::string>{"b.mp4"});
    ASSERT_TRUE(model->canUndo());
    EXPECT_EQ(model->removals().newest().summary, "Removed a.mp4");
    EXPECT_EQ(model->results(a), nullptr);

    model->undo();
    EXPECT_FALSE(model->canUndo());
    EXPECT_EQ(history.count(), 2);
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"a.mp4", "b.mp4"}));
    EXPECT_TRUE(model->selectedFilePathKeys().contains(a));
    EXPECT_EQ(model->file(a)->quickScanStatus.index(), statusBefore.index());
    EXPECT_EQ(std::get<QuickScanDone>(model->file(a)->quickScanStatus).stats,
              std::get<QuickScanDone>(statusBefore).stats);
    EXPECT_EQ(*model->highlightSegments(a), segments);
    EXPECT_EQ(model->results(a)->tiers.size(), segments.size());
    EXPECT_FALSE(model->isSegmentIncluded(a, excluded));
    EXPECT_EQ(model->thumbnail(a).cacheKey(), thumbnail);
    ASSERT_NE(model->laps(a), nullptr);
    EXPECT_EQ(model->laps(a)->analysis, laps);
    EXPECT_EQ(model->statusMessage(), "2 file(s), 2 selected \u2022 scanned 2/2 \u2022 ready");
    // Nothing had to be read again.
    QTest::qWait(100);
    EXPECT_EQ(extractor->quickScans.arrivals().size(), scansBefore);
    EXPECT_EQ(extractor->analyses.arrivals().size(), analysesBefore);
    EXPECT_EQ(thumbnails.requests().size(), 2u);
    EXPECT_TRUE(model->queues().lapAnalysisTasksByPath.empty());
}

TEST_F(Undo, OneStepPerRemovalNewestFirst) {
    addAnalysed(drives({"a.mp4", "b.mp4", "c.mp4", "d.mp4"}));
    model->toggleSelection(keyOf(dir / "d.mp4"));  // b and c stay selected with a
    model->removeFile(keyOf(dir / "a.mp4"));
    model->removeSelectedFiles();
    EXPECT_EQ(listedNames(), std::vector<std::string>{"d.mp4"});
    EXPECT_EQ(model->removals().newest().summary, "Removed 2 files");

    model->undo();
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"b.mp4", "c.mp4", "d.mp4"}));
    EXPECT_EQ(model->selectedFilePathKeys(),
              (std::set<PathKey>{keyOf(dir / "b.mp4"), keyOf(dir / "c.mp4")}));
    model->undo();
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"a.mp4", "b.mp4", "c.mp4", "d.mp4"}));
    EXPECT_FALSE(model->canUndo());
    model->undo();  // nothing left: nothing happens
    EXPECT_EQ(model->droppedFiles().size(), 4u);
}

TEST_F(Undo, ClearAllIsTakenBackToo) {
    writeRecordingWithoutTelemetry(dir / "foreign.mp4");
    addAnalysed({drive("a.mp4")});
    model->addFiles({dir / "foreign.mp4"});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));

    model->clearAll();
    EXPECT_TRUE(model->droppedFiles().empty());
    EXPECT_EQ(model->removals().newest().summary, "Cleared 2 files");
    model->undo();
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"a.mp4", "foreign.mp4"}));
    EXPECT_NE(model->highlightSegments(keyOf(dir / "a.mp4")), nullptr);
    EXPECT_EQ(model->skippedFiles().size(), 1u);
    EXPECT_EQ(model->selectedFilePathKeys(), std::set<PathKey>{keyOf(dir / "a.mp4")});
    EXPECT_EQ(model->statusMessage(), "2 file(s), 1 selected \u2022 scanned 2/2 \u2022 ready");
}

}  // namespace
}  // namespace skelder::apptest
