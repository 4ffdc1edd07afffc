// The background work queues: quick scans, highlight analyses and thumbnails, their limits,
// and how stale or cancelled results are dropped.
#include <QTest>
#include <chrono>
#include <thread>

#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

class WorkQueues : public ModelTest {};

TEST_F(WorkQueues, FiveFilesStartTwoScansAndTheThirdWhenOneFinishes) {
    makeModel();
    const auto files = drives({"a.mp4", "b.mp4", "c.mp4", "d.mp4", "e.mp4"});
    extractor->quickScans.close();
    model->addFiles(files);

    ASSERT_TRUE(waitFor([&] { return extractor->quickScans.waiting() == 2; }));
    EXPECT_EQ(scanning(), 2);
    EXPECT_EQ(model->queues().activeQuickScans, 2);
    EXPECT_EQ(model->queues().pendingQuickScanPaths.size(), 3u);
    QTest::qWait(50);  // no third scan sneaks in meanwhile
    EXPECT_EQ(extractor->quickScans.arrivals().size(), 2u);

    const std::string first = extractor->quickScans.arrivals().front();
    extractor->quickScans.open(first);
    ASSERT_TRUE(waitFor([&] { return extractor->quickScans.arrivals().size() == 3; }));
    EXPECT_TRUE(
        std::holds_alternative<QuickScanDone>(model->file(keyOf(dir / first))->quickScanStatus));
    EXPECT_EQ(scanning(), 2);
    EXPECT_EQ(model->queues().pendingQuickScanPaths.size(), 2u);

    extractor->quickScans.openAll();
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    EXPECT_EQ(extractor->quickScansAtOnce.most(), 2);
    EXPECT_EQ(model->queues().activeQuickScans, 0);
}

TEST_F(WorkQueues, OnlyOneHighlightAnalysisRunsAtATime) {
    makeModel();
    extractor->analyses.close();
    const auto files = drives({"a.mp4", "b.mp4", "c.mp4"}, 60);
    model->addFiles(files);
    ASSERT_TRUE(waitFor([&] { return allScanned() && extractor->analyses.waiting() == 1; }));
    EXPECT_EQ(model->queues().activeHighlightPreviews, 1);
    EXPECT_EQ(model->queues().pendingHighlightPreviewPaths.size(), 2u);

    extractor->analyses.openAll();
    ASSERT_TRUE(waitFor([&] { return analysed() == static_cast<int>(files.size()); }));
    EXPECT_EQ(extractor->analysesAtOnce.most(), 1);
    for (const auto& file : files) {
        const auto& segments = *model->highlightSegments(keyOf(file));
        ASSERT_FALSE(segments.empty());
        // The hard corner (seconds 20 to 26) and the full-throttle run (40 to 51) are
        // highlights of the strict plan.
        for (const std::int64_t second : {24, 45}) {
            EXPECT_TRUE(std::any_of(segments.begin(), segments.end(), [&](const auto& s) {
                return s.startSecond <= second && s.endSecond >= second;
            })) << second;
        }
        EXPECT_EQ(model->results(keyOf(file))->tiers.size(), segments.size());
        EXPECT_EQ(model->tier(keyOf(file), PlannedSegmentKey::of(segments.front())),
                  HighlightTier::best);
        EXPECT_FALSE(model->isHighlightAnalysisInProgress(keyOf(file)));
    }
}

TEST_F(WorkQueues, AFilterChangeDropsTheRunningResultAndEmptiesTheResults) {
    const StubbornProvider& stubborn = useStubbornProvider();
    stubborn.gate.close();
    stubborn.gate.open("a.mp4");
    makeModel();
    const auto a = drive("a.mp4", 60), b = drive("b.mp4", 60);

    model->addFiles({a});
    ASSERT_TRUE(waitFor([&] { return model->highlightSegments(keyOf(a)) != nullptr; }));
    const auto firstSegment = model->highlightSegments(keyOf(a))->front();
    model->toggleHighlightSegmentInclusion(keyOf(a), PlannedSegmentKey::of(firstSegment));
    model->addFiles({b});
    ASSERT_TRUE(waitFor([&] { return stubborn.gate.waiting() == 1; }));

    model->setSelectedHighlightFilterMode(HighlightFilterMode::maybeInteresting);
    model->resetHighlightPreviews();
    for (const auto& [key, results] : model->fileResults()) {
        EXPECT_FALSE(results.segments);
        EXPECT_TRUE(results.tiers.empty());
        EXPECT_FALSE(results.exclusions);
    }
    EXPECT_EQ(model->queues().activeHighlightPreviews, 0);
    EXPECT_EQ(model->queues().highlightPreviewGeneration, 1);

    // The old analysis did not notice the cancellation; its late result is dropped.
    stubborn.gate.open("b.mp4");
    ASSERT_TRUE(waitFor([&] { return stubborn.returned() == 2; }));
    QTest::qWait(100);
    EXPECT_EQ(analysed(), 0);

    // The shown file is asked for again and analysed in the new mode.
    model->enqueueHighlightPreview(keyOf(b));
    ASSERT_TRUE(waitFor([&] { return model->highlightSegments(keyOf(b)) != nullptr; }));
    EXPECT_EQ(stubborn.modesAsked(),
              (std::vector<HighlightFilterMode>{HighlightFilterMode::onlyBest,
                                                HighlightFilterMode::onlyBest,
                                                HighlightFilterMode::maybeInteresting}));
    EXPECT_EQ(model->highlightSegments(keyOf(a)), nullptr);
}

TEST_F(WorkQueues, AFileRemovedWhileItsAnalysisRunsGetsNothingStored) {
    const StubbornProvider& stubborn = useStubbornProvider();
    stubborn.gate.close();
    makeModel();
    const auto a = drive("a.mp4", 60), b = drive("b.mp4", 60);
    model->addFiles({a, b});
    ASSERT_TRUE(waitFor([&] { return stubborn.gate.waiting() == 1; }));
    const std::string running = stubborn.gate.arrivals().front();
    const std::string other = running == "a.mp4" ? "b.mp4" : "a.mp4";

    model->removeFile(keyOf(dir / running));
    // The slot is free at once: the other file's analysis starts.
    ASSERT_TRUE(waitFor([&] { return stubborn.gate.waiting() == 2; }));
    stubborn.gate.open(running);
    ASSERT_TRUE(waitFor([&] { return stubborn.returned() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(analysed(), 0);
    EXPECT_EQ(model->queues().activeHighlightPreviews, 1);

    stubborn.gate.openAll();
    ASSERT_TRUE(waitFor([&] { return analysed() > 0; }));
    EXPECT_EQ(analysed(), 1);
    EXPECT_NE(model->highlightSegments(keyOf(dir / other)), nullptr);
}

TEST_F(WorkQueues, WithoutAPeakTheThumbnailComesFromAQuarterOfTheDurationWhichTheTimelineSpans) {
    durationsByName = {{"flat.mp4", 40.0}, {"drive.mp4", 30.0}};
    makeModel();
    writeDrive(dir / "flat.mp4", 40, /*withoutGForce=*/true);
    model->addFiles({dir / "flat.mp4", drive("drive.mp4")});
    ASSERT_TRUE(waitFor([&] { return withThumbnail() == 2; }));

    const auto& flat =
        std::get<QuickScanDone>(model->file(keyOf(dir / "flat.mp4"))->quickScanStatus);
    EXPECT_FALSE(flat.stats.peakCombinedGSecond);
    const auto& driving =
        std::get<QuickScanDone>(model->file(keyOf(dir / "drive.mp4"))->quickScanStatus);
    ASSERT_TRUE(driving.stats.peakCombinedGSecond);

    auto requests = thumbnails.requests();
    std::sort(requests.begin(), requests.end());
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0],
              std::make_pair(std::string("drive.mp4"), *driving.stats.peakCombinedGSecond));
    EXPECT_EQ(requests[1], std::make_pair(std::string("flat.mp4"), 10.0));
    EXPECT_EQ(model->thumbnail(keyOf(dir / "flat.mp4")).size(), QSize(32, 18));

    // A picture is made once per file.
    model->requestThumbnail(keyOf(dir / "flat.mp4"), 3.0);
    QTest::qWait(50);
    EXPECT_EQ(thumbnails.requests().size(), 2u);

    // The timeline lasts as long as the duration read, not only to the last segment's end.
    ASSERT_TRUE(waitFor([&] { return analysed() == 2; }));
    EXPECT_EQ(model->timelineDurationSeconds(keyOf(dir / "drive.mp4")), 30.0);
    EXPECT_FALSE(model->timelineDurationSeconds(keyOf(dir / "other.mp4")));
}

TEST_F(WorkQueues, TheScanCarriesHowThePictureIsShownReadOffTheMainThread) {
    AppServices turned = services();
    std::vector<std::thread::id> readOn;
    turned.loadPictureOrientation = [&readOn](const std::filesystem::path&) {
        readOn.push_back(std::this_thread::get_id());
        return PictureOrientation{270, true};
    };
    model = std::make_unique<AppViewModel>(turned);
    const auto file = drive("sideways.mp4");
    model->addFiles({file});
    ASSERT_TRUE(waitFor([&] { return allScanned(); }));
    const auto* done = std::get_if<QuickScanDone>(&model->file(keyOf(file))->quickScanStatus);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->stats.pictureOrientation, (PictureOrientation{270, true}));
    ASSERT_EQ(readOn.size(), 1u);
    EXPECT_NE(readOn.front(), std::this_thread::get_id());
}

TEST_F(WorkQueues, AFinishedAnalysisWhoseReportStillWaitsIsNotTakenForCancelled) {
    const StubbornProvider& stubborn = useStubbornProvider();
    stubborn.gate.close();
    makeModel();
    const auto a = drive("a.mp4", 60);
    model->addFiles({a});
    ASSERT_TRUE(waitFor([&] { return stubborn.gate.waiting() == 1; }));

    // The analysis ends and posts its report while the main thread is busy elsewhere...
    stubborn.gate.openAll();
    while (stubborn.returned() < 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // ...and starts other work (which tidies up the finished threads) before reading it.
    model->addFiles({drive("b.mp4")});
    ASSERT_TRUE(waitFor([&] { return model->highlightSegments(keyOf(a)) != nullptr; }));
}

}  // namespace
}  // namespace skelder::apptest
