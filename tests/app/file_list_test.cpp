// The file list of the model: adding, sorting, selecting, removing, the status line and the
// rejection alert.
#include <QSignalSpy>

#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

class FileList : public ReadyModelTest {};

TEST_F(FileList, TheSameFileDroppedTwiceOrInsideAFolderIsListedOnce) {
    const auto a = drive("runs/a.mp4");
    const auto dotted = dir.path() / "runs" / "." / "a.mp4";
    model->addFiles({a, dotted});
    model->addFiles({dir / "runs"});
    ASSERT_EQ(listedNames(), std::vector<std::string>{"a.mp4"});
    EXPECT_EQ(model->droppedFiles().front().id(), keyOf(a));
    EXPECT_TRUE(waitFor([&] { return allScanned(); }));
}

// What the open panel returns is added as a drop is; a cancelled panel adds nothing.
TEST_F(FileList, ADropWithoutMP4FilesLeavesTheListAsItWas) {
    model->openFiles();
    EXPECT_TRUE(model->droppedFiles().empty());
    EXPECT_EQ(model->statusMessage(), "Drop MP4 files to begin");
    panel->inputFiles = std::vector<std::filesystem::path>{drive("a.mp4")};
    model->openFiles();
    std::filesystem::create_directories(dir / "empty");
    testing::writeFile(dir / "notes.txt", std::vector<std::uint8_t>{'h', 'i'});
    testing::writeFile(dir / "clip.mov", std::vector<std::uint8_t>{1, 2, 3});
    QSignalSpy listChanges(model.get(), &AppViewModel::droppedFilesChanged);

    model->addFiles({dir / "empty", dir / "notes.txt", dir / "clip.mov"});
    EXPECT_EQ(model->statusMessage(), "No MP4 files found in drop");
    EXPECT_EQ(listedNames(), std::vector<std::string>{"a.mp4"});
    EXPECT_EQ(listChanges.count(), 0);
}

TEST_F(FileList, IsSortedByNameWithCapitalsFirstAndEqualNamesInDropOrder) {
    model->addFiles({drive("c.mp4"), drive("a.mp4")});
    model->addFiles({drive("b.mp4")});
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"a.mp4", "b.mp4", "c.mp4"}));

    model->addFiles({drive("x/b.mp4"), drive("Zed.mp4"), drive("Alpha.mp4")});
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"Alpha.mp4", "Zed.mp4", "a.mp4", "b.mp4",
                                                       "b.mp4", "c.mp4"}));
    // The second b.mp4 came later, so it stays after the first.
    EXPECT_EQ(model->droppedFiles()[3].id(), keyOf(dir / "b.mp4"));
    EXPECT_EQ(model->droppedFiles()[4].id(), keyOf(dir / "x" / "b.mp4"));
}

TEST_F(FileList, WithNothingSelectedADropSelectsEveryListedFile) {
    const auto a = drive("a.mp4"), b = drive("b.mp4"), c = drive("c.mp4");
    model->addFiles({a, b});
    EXPECT_EQ(model->selectedFilePathKeys(), (std::set<PathKey>{keyOf(a), keyOf(b)}));

    model->setAllSelected(false);
    model->addFiles({a});  // already listed, yet the empty selection takes every file
    EXPECT_EQ(model->selectedFilePathKeys(), (std::set<PathKey>{keyOf(a), keyOf(b)}));

    model->toggleSelection(keyOf(a));
    model->addFiles({c});  // some selected: only the new file joins
    EXPECT_EQ(model->selectedFilePathKeys(), (std::set<PathKey>{keyOf(b), keyOf(c)}));
    EXPECT_EQ(model->selectedCount(), 2);
}

TEST_F(FileList, StatusLineCountsFilesSelectionAndFinishedScans) {
    const auto a = drive("a.mp4"), b = drive("b.mp4"), c = drive("c.mp4");
    extractor->quickScans.close();
    extractor->quickScans.open("a.mp4");
    model->addFiles({a, b});
    ASSERT_TRUE(waitFor([&] { return finished() == 1; }));
    EXPECT_EQ(model->statusMessage(), "2 file(s), 2 selected \u2022 scanned 1/2");

    extractor->quickScans.openAll();
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    EXPECT_EQ(model->statusMessage(), "2 file(s), 2 selected \u2022 scanned 2/2 \u2022 ready");

    model->addFiles({c});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    model->toggleSelection(keyOf(b));
    EXPECT_EQ(model->statusMessage(), "3 file(s), 2 selected \u2022 scanned 3/3 \u2022 ready");
}

TEST_F(FileList, AFailedFileCannotBeSelectedNorExported) {
    const auto good = drive("good.mp4");
    const auto bad = dir / "bad.mp4";
    writeRecordingWithoutTelemetry(bad);
    model->addFiles({good, bad});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));

    model->toggleSelection(keyOf(bad));
    EXPECT_FALSE(model->selectedFilePathKeys().contains(keyOf(bad)));

    // An empty selection takes every listed file on the next drop, but never a skipped one:
    // the counts, the select-all box and the export agree.
    model->setAllSelected(false);
    model->addFiles({good});
    EXPECT_EQ(model->selectedFilePathKeys(), std::set<PathKey>{keyOf(good)});
    EXPECT_EQ(model->selectedCount(), 1);
    EXPECT_EQ(model->eligibleCount(), 1);
    EXPECT_EQ(model->exportSelectionState(), ExportSelectionState::all);
    EXPECT_EQ(model->statusMessage(), "2 file(s), 1 selected \u2022 scanned 2/2 \u2022 ready");
    EXPECT_EQ(model->selectedExportURLs(), std::vector<std::filesystem::path>{good});
}

TEST_F(FileList, ScanFailuresRaiseTheRejectionAlertOnce) {
    writeRecordingWithoutTelemetry(dir / "first.mp4");
    testing::writeFile(dir / "second.mp4", std::vector<std::uint8_t>{});
    writeRecordingWithoutTelemetry(dir / "third.mp4");
    QSignalSpy raised(model.get(), &AppViewModel::isRejectionAlertPresentedChanged);

    model->addFiles({dir / "first.mp4", dir / "second.mp4", drive("fine.mp4")});
    ASSERT_TRUE(waitFor([&] { return model->isRejectionAlertPresented(); }));
    // Two scans run at once, so the lines come in the order the scans end.
    QStringList lines = model->rejectedFileSummaries();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"first.mp4: No Kovra Data", "second.mp4: Empty File"}));
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    EXPECT_EQ(raised.count(), 1);

    // Another failure while the alert is shown adds its line but does not raise it again.
    model->addFiles({dir / "third.mp4"});
    ASSERT_TRUE(waitFor([&] { return model->rejectedFileSummaries().size() == 3; }));
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    EXPECT_EQ(raised.count(), 1);
    EXPECT_EQ(model->rejectedFileSummaries().last(), "third.mp4: No Kovra Data");

    model->dismissRejections();
    EXPECT_FALSE(model->isRejectionAlertPresented());
    EXPECT_TRUE(model->rejectedFileSummaries().isEmpty());

    model->reanalyzeFile(keyOf(dir / "third.mp4"));
    ASSERT_TRUE(waitFor([&] { return model->isRejectionAlertPresented(); }));
    EXPECT_EQ(model->rejectedFileSummaries(), QStringList{"third.mp4: No Kovra Data"});
}

TEST_F(FileList, RemovingFilesDropsTheirSelectionAndResults) {
    const auto a = drive("a.mp4"), b = drive("b.mp4"), c = drive("c.mp4");
    model->addFiles({a, b, c});
    ASSERT_TRUE(waitFor([&] { return withThumbnail() == 3; }));

    model->removeFile(keyOf(b));
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"a.mp4", "c.mp4"}));
    EXPECT_FALSE(model->selectedFilePathKeys().contains(keyOf(b)));
    EXPECT_EQ(model->results(keyOf(b)), nullptr);
    EXPECT_EQ(model->statusMessage(), "2 file(s), 2 selected \u2022 scanned 2/2 \u2022 ready");

    model->toggleSelection(keyOf(c));
    model->removeSelectedFiles();
    EXPECT_EQ(listedNames(), std::vector<std::string>{"c.mp4"});
    EXPECT_TRUE(model->selectedFilePathKeys().empty());
    EXPECT_EQ(withThumbnail(), 1);
}

// A skipped file (here one cut short in a copy) is never the shown file, even where a stale
// list selection still holds it.
TEST_F(FileList, ThePrimaryFileIsTheFirstListedOfTheTableSelectionThenOfTheExportSelection) {
    const auto a = drive("a.mp4"), b = drive("b.mp4"), c = drive("c.mp4");
    const auto cut = drive("0-cut.mp4");  // listed first
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    const PathKey skipped = keyOf(cut);
    model->addFiles({a, b, c, cut});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    ASSERT_EQ(model->skippedFiles().size(), 1u);
    EXPECT_EQ(model->primaryFilePathKey({keyOf(c), keyOf(b)}), keyOf(b));
    EXPECT_EQ(model->primaryFilePathKey({skipped, keyOf(c)}), keyOf(c));
    EXPECT_FALSE(model->isHighlightAnalysisInProgress(skipped));
    model->toggleSelection(keyOf(a));
    EXPECT_EQ(model->primaryFilePathKey({}), keyOf(b));
    EXPECT_EQ(model->primaryFilePathKey({skipped}), keyOf(b));
    model->setAllSelected(false);
    EXPECT_EQ(model->primaryFilePathKey({}), std::nullopt);
    EXPECT_EQ(model->primaryFilePathKey({skipped}), std::nullopt);
}

}  // namespace
}  // namespace skelder::apptest
