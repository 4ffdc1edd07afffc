#include "ui/export_progress_sheet.hpp"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace skelder::ui {
namespace {

class ExportProgressSheetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    }

    // The visible buttons, left to right, and whether each is enabled.
    std::vector<std::pair<QString, bool>> buttons() {
        std::vector<QPushButton*> shown;
        for (auto* button : sheet.findChildren<QPushButton*>()) {
            if (button->isVisible())
                shown.push_back(button);
        }
        std::sort(shown.begin(), shown.end(),
                  [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
        std::vector<std::pair<QString, bool>> result;
        for (auto* button : shown)
            result.emplace_back(button->text(), button->isEnabled());
        return result;
    }

    QPushButton* button(const QString& title) {
        for (auto* candidate : sheet.findChildren<QPushButton*>()) {
            if (candidate->text() == title)
                return candidate;
        }
        return nullptr;
    }

    QString label(const char* name) {
        auto* found = sheet.findChild<QLabel*>(name);
        return found && found->isVisible() ? found->text() : QString("(hidden)");
    }

    ExportProgressSheet sheet;
};

using ::testing::ElementsAre;
using ::testing::Pair;

TEST_F(ExportProgressSheetTest, WhileExportingItCanOnlyBeCancelledAndReadsItsProgressInPercent) {
    sheet.setProcessing(true);
    sheet.setActiveFileName(QString("lap 3.mp4"));
    sheet.setProgress(0.625);
    sheet.setStatusMessage("Exporting lap 3.mp4 (3/4) 50%");
    QApplication::processEvents();

    EXPECT_EQ(label("title"), "Exporting");
    EXPECT_GE(sheet.minimumSizeHint().width(), 460);
    sheet.show();
    EXPECT_GE(sheet.width(), 460);
    EXPECT_EQ(label("activeFile"), "Current: lap 3.mp4");
    EXPECT_EQ(label("status"), "Exporting lap 3.mp4 (3/4) 50%");
    EXPECT_THAT(buttons(), ElementsAre(Pair("Cancel Export", true), Pair("OK", false)));

    QSignalSpy cancel(&sheet, &ExportProgressSheet::cancelExportRequested);
    QTest::mouseClick(button("Cancel Export"), Qt::LeftButton);
    EXPECT_EQ(cancel.count(), 1);

    // Neither Escape nor closing the window dismisses it.
    QSignalSpy dismissed(&sheet, &ExportProgressSheet::dismissed);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    QTest::keyClick(&sheet, Qt::Key_Return);
    sheet.close();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(dismissed.count(), 0);

    // Progress reads as whole percent.
    auto* bar = sheet.findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(sheet.progressAccessibleValue(), "62 percent");  // "%.0f" rounds half to even
    EXPECT_EQ(bar->value(), 625);
    EXPECT_EQ(bar->maximum(), 1000);
    sheet.setProgress(1);
    EXPECT_EQ(sheet.progressAccessibleValue(), "100 percent");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Description),
              "100 percent");
    EXPECT_EQ(progressPercentText(0.456), "46 percent");
}

TEST_F(ExportProgressSheetTest, AfterTheExportItShowsTheResult) {
    sheet.setProcessing(true);
    sheet.setActiveFileName(QString("a.mp4"));
    sheet.setProcessing(false);
    sheet.setActiveFileName(std::nullopt);
    sheet.setStatusMessage("Done: 2 exported, 1 failed");
    sheet.setCompletion(
        ExportSheetCompletion{"Export Complete",
                              "Exported 2 file(s). 1 file(s) failed.",
                              {"/videos/a.full.overlay.mp4", "/videos/c.full.overlay.mp4"}});
    QApplication::processEvents();

    EXPECT_EQ(label("title"), "Export Complete");
    EXPECT_EQ(label("completionMessage"), "Exported 2 file(s). 1 file(s) failed.");
    EXPECT_EQ(label("activeFile"), "(hidden)");
    EXPECT_THAT(buttons(), ElementsAre(Pair("Show in File Manager", true), Pair("OK", true)));

    QSignalSpy reveal(&sheet, &ExportProgressSheet::showInFileManagerRequested);
    QTest::mouseClick(button("Show in File Manager"), Qt::LeftButton);
    ASSERT_EQ(reveal.count(), 1);
    EXPECT_EQ(reveal.first().first().toStringList(),
              QStringList({"/videos/a.full.overlay.mp4", "/videos/c.full.overlay.mp4"}));

    QSignalSpy dismissed(&sheet, &ExportProgressSheet::dismissed);
    QTest::keyClick(&sheet, Qt::Key_Return);  // OK is the default button
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_FALSE(sheet.isVisible());

    // Without written files there is nothing to show.
    sheet.show();
    sheet.setCompletion(
        ExportSheetCompletion{"Export Canceled", "Canceled after exporting 0 file(s).", {}});
    QApplication::processEvents();
    EXPECT_EQ(label("title"), "Export Canceled");
    EXPECT_THAT(buttons(), ElementsAre(Pair("OK", true)));

    QTest::keyClick(&sheet, Qt::Key_Escape);  // after the export, Escape acts like OK
    EXPECT_EQ(dismissed.count(), 2);
}

TEST_F(ExportProgressSheetTest, ShowsEachFileTheStepAndTheTimeLeft) {
    sheet.setProcessing(true);
    ExportProgressSnapshot snapshot;
    snapshot.mode = ProcessingMode::full;
    snapshot.files = {{"a.mp4", 1, ExportFileState::done, {}},
                      {"b.mp4", 0, ExportFileState::failed, "No Kovra telemetry"},
                      {"c.mp4", 0.42, ExportFileState::working, {}},
                      {"d.mp4", 0, ExportFileState::waiting, {}}};
    snapshot.step = ExportStep::encodingFile;
    snapshot.currentFile = 2;
    snapshot.secondsLeft = 150;
    sheet.setFileProgress(snapshot);
    EXPECT_EQ(sheet.stepText(),
              "Drawing the HUD and encoding (file 3 of 4) \u00b7 About 3 minutes left");
    const std::vector<QStringList> rows = sheet.fileRowTexts();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (QStringList{"a.mp4", "Done", ""}));
    EXPECT_EQ(rows[1], (QStringList{"b.mp4", "Skipped", "No Kovra telemetry"}));
    EXPECT_EQ(rows[2], (QStringList{"c.mp4", "42%", ""}));
    EXPECT_EQ(rows[3], (QStringList{"d.mp4", "Waiting", ""}));

    // After Cancel, the sheet says it is winding down until the export has ended.
    sheet.setCancelling(true);
    EXPECT_THAT(buttons(), ElementsAre(Pair("Canceling\u2026", false), Pair("OK", false)));
    EXPECT_TRUE(sheet.stepText().startsWith("Canceling"));
    sheet.setCancelling(false);
    sheet.setProcessing(false);
    EXPECT_EQ(sheet.stepText(), "");
}

TEST(TimeLeftText, RoundsToWhatAPersonWantsToKnow) {
    EXPECT_EQ(timeLeftText(4), "A few seconds left");
    EXPECT_EQ(timeLeftText(41), "About 45 seconds left");
    EXPECT_EQ(timeLeftText(61), "About 2 minutes left");
    EXPECT_EQ(timeLeftText(59.5), "About 60 seconds left");
    EXPECT_EQ(timeLeftText(90 * 60 + 1), "About 1 h 31 min left");
}

}  // namespace
}  // namespace skelder::ui
