// A file whose analysis fails: it says why and waits for a retry or a changed file instead of
// running again and again.
#include <QTest>

#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

class Failures : public ReadyModelTest {};

TEST_F(Failures, AFailedAnalysisSaysWhyAndWaitsForARetryOrAChangedFile) {
    // The file scans, then is cut short before its analysis reads it.
    const auto file = drive("cut.mp4", 60);
    const auto key = keyOf(file);
    extractor->analyses.close();
    model->addFiles({file});
    ASSERT_TRUE(waitFor([&] { return extractor->analyses.waiting() == 1; }));
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
    extractor->analyses.openAll();

    ASSERT_TRUE(waitFor([&] { return model->highlightAnalysisFailure(key).has_value(); }));
    EXPECT_FALSE(model->highlightAnalysisFailure(key)->isEmpty());
    EXPECT_FALSE(model->isHighlightAnalysisInProgress(key));
    EXPECT_EQ(model->highlightSegments(key), nullptr);
    // Nor are laps waited for: they come from the same telemetry.
    EXPECT_FALSE(model->isLapAnalysisInProgress(key));
    // The scan's result stands: the file stays listed, selected and scanned.
    EXPECT_TRUE(std::holds_alternative<QuickScanDone>(model->file(key)->quickScanStatus));

    // The window asks for the shown file on every refresh: nothing runs again.
    const std::size_t analysed = extractor->analyses.arrivals().size();
    for (int i = 0; i < 3; ++i)
        model->enqueueHighlightPreview(key);
    QTest::qWait(100);
    EXPECT_EQ(extractor->analyses.arrivals().size(), analysed);
    EXPECT_EQ(model->queues().activeHighlightPreviews, 0);

    // Retry runs it again (and it fails again, the file is still cut).
    model->retryHighlightAnalysis(key);
    EXPECT_TRUE(model->isHighlightAnalysisInProgress(key));
    ASSERT_TRUE(waitFor([&] { return model->highlightAnalysisFailure(key).has_value(); }));
    EXPECT_EQ(extractor->analyses.arrivals().size(), analysed + 1);

    // A changed file is analysed again when asked for, and this time it works.
    std::filesystem::remove(file);
    writeDrive(file, 60);
    model->enqueueHighlightPreview(key);
    ASSERT_TRUE(waitFor([&] { return model->highlightSegments(key) != nullptr; }));
    EXPECT_FALSE(model->highlightAnalysisFailure(key));
    EXPECT_FALSE(model->highlightSegments(key)->empty());
}

}  // namespace
}  // namespace skelder::apptest
