// Quitting and cancelling: every kind of work is stopped through its stop token, nothing new
// starts, the main thread never waits for a file still being read, and a cancelled export
// reports through its usual completion.
#include <QSignalSpy>
#include <QTest>

#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

class Quitting : public ReadyModelTest {};

TEST_F(Quitting, AScanThatIgnoresItsStopDoesNotHoldUpTheModelsEnd) {
    extractor->quickScans.close();
    model->addFiles(drives({"a.mp4", "b.mp4", "c.mp4"}));
    ASSERT_TRUE(waitFor([&] { return extractor->quickScans.waiting() == 2; }));

    model->stopAllWork();
    EXPECT_EQ(model->queues().activeQuickScans, 0);
    EXPECT_TRUE(model->queues().pendingQuickScanPaths.empty());
    // Nothing new starts: not the waiting file, not a new one, not an analysis.
    model->addFiles({drive("d.mp4")});
    QTest::qWait(50);
    EXPECT_EQ(extractor->quickScans.arrivals().size(), 2u);

    // The two scans still read their files (the gate holds them); the model goes anyway.
    model.reset();
    EXPECT_EQ(extractor->quickScans.waiting(), 2);
    // What they report once they end goes nowhere.
    extractor->quickScans.openAll();
    EXPECT_TRUE(waitFor([&] { return extractor->idle(); }));
}

TEST_F(Quitting, ACancelledExportEndsThroughItsUsualCompletion) {
    model->addFiles({videoRecording("a.mp4")});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    model->setSelectedMode(ProcessingMode::full);
    panel->outputTarget = SingleFileTarget{dir / "out.mp4"};
    exporter->holdUntilCancelled = true;
    model->startExport();
    ASSERT_TRUE(waitFor([&] { return exporter->waitingForCancel == 1; }));
    ASSERT_TRUE(waitFor([&] { return model->progress() == 0.5; }));
    EXPECT_FALSE(model->isCancellingExport());

    QSignalSpy cancelling(model.get(), &AppViewModel::isCancellingExportChanged);
    model->stopAllWork();
    // Asked, not waited for: the export is still winding down.
    EXPECT_TRUE(model->isProcessing());
    EXPECT_TRUE(model->isCancellingExport());
    EXPECT_EQ(model->statusMessage(), "Canceling export\u2026");
    model->startExport();  // nothing new starts while quitting
    EXPECT_EQ(panel->outputPanelsShown, 1);

    ASSERT_TRUE(waitFor([&] { return !model->isProcessing(); }));
    EXPECT_FALSE(model->isCancellingExport());
    EXPECT_EQ(cancelling.count(), 2);
    EXPECT_EQ(model->statusMessage(), "Export canceled");
    EXPECT_FALSE(model->isCompletionAlertPresented());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp4"));
}

}  // namespace
}  // namespace skelder::apptest
