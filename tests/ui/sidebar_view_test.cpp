// The sidebar's rows as a user reads them: the statistics line at the window's default size,
// elided in a narrow row with the full line in the tooltip and the accessible name, and the
// select-all box when nothing can be included.

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <fstream>

#include "samples/sample_recording.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "ui/file_list_model.hpp"
#include "ui/file_row_delegate.hpp"
#include "ui/main_window.hpp"
#include "ui/sidebar_view.hpp"

namespace skelder::ui {
namespace {

namespace fs = std::filesystem;

class SidebarViewTest : public ::testing::Test {
  protected:
    SidebarViewTest() {
        AppServices services;
        services.settings = std::make_shared<QSettings>(
            QString::fromStdString((dir / "settings.ini").string()), QSettings::IniFormat);
        model = std::make_unique<AppViewModel>(std::move(services));
        window = std::make_unique<MainWindow>(*model);
        window->show();
    }
    ~SidebarViewTest() override {
        window.reset();
        model.reset();
    }

    bool scanned() {
        return QTest::qWaitFor(
            [&] {
                for (const DroppedFileItem& file : model->droppedFiles()) {
                    if (!std::holds_alternative<QuickScanDone>(file.quickScanStatus) &&
                        !std::holds_alternative<QuickScanFailed>(file.quickScanStatus))
                        return false;
                }
                return true;
            },
            60000);
    }

    SidebarView* sidebar() const { return window->sidebar(); }

    testing::TempDir dir;
    std::unique_ptr<AppViewModel> model;
    std::unique_ptr<MainWindow> window;
};

// The whole number before " mph" or " km/h" in the shown statistics; -1 when there is none.
int topSpeedFigure(const QStringList& shown, const QString& unit) {
    const QRegularExpression figure(QStringLiteral("(\\d+) ") + QRegularExpression::escape(unit) +
                                    QStringLiteral("(?![A-Za-z/])"));
    const QRegularExpressionMatch match = figure.match(shown.join(' '));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

TEST_F(SidebarViewTest, TheStatisticsAreReadableElidedWhenNarrowCompleteInTheTooltipAndInTheUnit) {
    const fs::path lap = dir / "lap.mp4";
    // Long enough to leave the pit lane: every figure has its full width of digits.
    testing::copySampleRecording(lap, {.seconds = 20, .width = 160, .height = 90, .audio = false});
    model->addFiles({lap});
    ASSERT_TRUE(scanned());
    const PathKey key = model->droppedFiles().front().id();
    const QString full = QString::fromStdString(model->file(key)->statusText());
    const QStringList figures = full.split(QStringLiteral("  |  "));
    ASSERT_EQ(figures.size(), 4) << full.toStdString();

    // At the window's default size every figure shows in full.
    const QStringList shown = sidebar()->statisticsShown(key);
    ASSERT_FALSE(shown.isEmpty());
    for (const QString& line : shown)
        EXPECT_FALSE(line.endsWith(QChar(0x2026))) << line.toStdString();
    for (const QString& figure : figures)
        EXPECT_TRUE(shown.join(' ').contains(figure)) << figure.toStdString();

    // The tooltip and the accessible name carry the line as the file list states it.
    const QModelIndex index = sidebar()->indexFor(key);
    const QRect row = sidebar()->list()->visualRect(index);
    const QPoint onStatistics(row.right() - 20, row.bottom() - 12);
    QHelpEvent help(QEvent::ToolTip, onStatistics,
                    sidebar()->list()->viewport()->mapToGlobal(onStatistics));
    QApplication::sendEvent(sidebar()->list()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), full);
    QToolTip::hideText();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(sidebar()->list());
    ASSERT_NE(list, nullptr);
    bool named = false;
    for (int i = 0; i < list->childCount(); ++i) {
        if (QAccessibleInterface* child = list->child(i))
            named = named || child->text(QAccessible::Name).contains(full);
    }
    EXPECT_TRUE(named);

    // A narrow row elides each line with "…" and never draws past its width.
    auto* delegate = static_cast<FileRowDelegate*>(sidebar()->list()->itemDelegate());
    const FileRowContent* content = sidebar()->fileList()->content(index);
    ASSERT_NE(content, nullptr);
    const QStringList narrow = delegate->statisticsLines(*content, sidebar()->list()->font(), 70);
    ASSERT_FALSE(narrow.isEmpty());
    EXPECT_TRUE(narrow.back().endsWith(QChar(0x2026))) << narrow.back().toStdString();

    // The top speed follows the chosen unit in place.
    const QStringList inMph = sidebar()->statisticsShown(key);
    const int mph = topSpeedFigure(inMph, QStringLiteral("mph"));
    ASSERT_GT(mph, 20) << inMph.join(' ').toStdString();

    model->setSpeedUnit(SpeedUnit::kmh);
    const QStringList inKmh = sidebar()->statisticsShown(key);
    const int kmh = topSpeedFigure(inKmh, QStringLiteral("km/h"));
    // A mile is 1.609344 km; both figures are rounded.
    EXPECT_NEAR(kmh, mph * 1.609344, 1.5) << inKmh.join(' ').toStdString();
    EXPECT_EQ(topSpeedFigure(inKmh, QStringLiteral("mph")), -1);
    // The other figures stay as they were.
    for (const QString& figure : figures.mid(1))
        EXPECT_TRUE(inKmh.join(' ').contains(figure)) << figure.toStdString();

    model->setSpeedUnit(SpeedUnit::mph);
    EXPECT_EQ(sidebar()->statisticsShown(key), inMph);
}

TEST_F(SidebarViewTest, WithNothingToIncludeTheSelectAllBoxStaysOff) {
    const fs::path broken = dir / "broken.mp4";
    std::ofstream(broken) << "not a recording";
    model->addFiles({broken});
    ASSERT_TRUE(scanned());
    EXPECT_EQ(sidebar()->includeAll()->checkState(), Qt::Unchecked);
    QTest::mouseClick(sidebar()->includeAll(), Qt::LeftButton);
    EXPECT_EQ(sidebar()->includeAll()->checkState(), Qt::Unchecked);
    EXPECT_EQ(sidebar()->countText()->text(), "0/0");
    EXPECT_FALSE(window->selectAllAction()->isEnabled());
}

}  // namespace
}  // namespace skelder::ui
