// The lap table of the detail pane over the laps of a simulated club circuit: the partial laps
// greyed around the complete ones, the best one bold with "Best" for its gap, a row chosen asks
// for its lap, and one line when there are no laps.
#include "ui/lap_table_view.hpp"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <regex>

#include "tests/support/circuit_drive.hpp"

namespace skelder::ui {
namespace {

const laps::LapAnalysis& clubLaps() {
    static const laps::LapAnalysis analysis =
        laps::analyseLaps(testing::CircuitDrive(testing::clubCircuit(), {.flyingLaps = 3}).grid());
    return analysis;
}

ShownLaps found(std::shared_ptr<const laps::LapAnalysis> analysis) {
    ShownLaps shown;
    shown.analysis = std::move(analysis);
    return shown;
}

QStringList rowTexts(const QTableWidget& table, int row) {
    QStringList texts;
    for (int column = 0; column < table.columnCount(); ++column)
        texts << table.item(row, column)->text();
    return texts;
}

TEST(LapTableView, ListsThePartialLapsGreyedAroundTheLapsWithTheBestInBold) {
    const laps::LapAnalysis& analysis = clubLaps();
    const int lapCount = static_cast<int>(analysis.laps.size());
    ASSERT_GE(lapCount, 3);
    ASSERT_TRUE(analysis.outLap && analysis.inLap);
    LapTableView view;
    view.setLaps(found(std::make_shared<laps::LapAnalysis>(analysis)), true);
    view.show();
    const QTableWidget& table = *view.table();
    ASSERT_TRUE(table.isVisible());
    EXPECT_FALSE(view.note()->isVisible());
    EXPECT_EQ(table.horizontalHeaderItem(0)->text(), "Lap");
    EXPECT_EQ(table.horizontalHeaderItem(1)->text(), "Time");
    EXPECT_EQ(table.horizontalHeaderItem(2)->text(), "Gap");
    ASSERT_EQ(table.rowCount(), lapCount + 2);

    const std::regex time("[0-9]+:[0-5][0-9]\\.[0-9]{3}");
    const QColor text = table.palette().color(QPalette::Text);
    for (const int partial : {0, lapCount + 1}) {
        const QStringList texts = rowTexts(table, partial);
        EXPECT_EQ(texts[0], partial == 0 ? "Out" : "In");
        EXPECT_TRUE(std::regex_match(texts[1].toStdString(), time)) << texts[1].toStdString();
        EXPECT_EQ(texts[2], "");
        EXPECT_LT(table.item(partial, 1)->foreground().color().alphaF(), text.alphaF());
    }
    const laps::Lap* best = analysis.bestLap();
    ASSERT_NE(best, nullptr);
    int bestRows = 0;
    for (int row = 1; row <= lapCount; ++row) {
        const laps::Lap& lap = analysis.laps[static_cast<std::size_t>(row - 1)];
        const QStringList texts = rowTexts(table, row);
        EXPECT_EQ(texts[0], QString::number(row));
        EXPECT_TRUE(std::regex_match(texts[1].toStdString(), time)) << texts[1].toStdString();
        const bool isBest = lap.number == best->number;
        bestRows += isBest ? 1 : 0;
        EXPECT_EQ(table.item(row, 0)->font().bold(), isBest);
        if (isBest) {
            EXPECT_EQ(texts[2], "Best");
        } else {
            // Slower than the best: a positive gap in thousandths.
            EXPECT_TRUE(std::regex_match(texts[2].toStdString(), std::regex("\\+[0-9]\\.[0-9]{3}")))
                << texts[2].toStdString();
        }
    }
    EXPECT_EQ(bestRows, 1);

    // Choosing a row asks for its lap, in telemetry seconds.
    QSignalSpy chosen(&view, &LapTableView::lapChosen);
    const QRect second = table.visualItemRect(table.item(2, 1));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, second.center());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toDouble(), analysis.laps[1].startSeconds);
    EXPECT_EQ(chosen.at(0).at(1).toDouble(), analysis.laps[1].endSeconds);
}

TEST(LapTableView, SaysWhyThereAreNoLapsAndWhatItIsWaitingFor) {
    LapTableView view;
    view.show();
    const auto road = std::make_shared<laps::LapAnalysis>(
        laps::analyseLaps(testing::CircuitDrive(testing::road(), {.openRoad = true}).grid()));
    view.setLaps(found(road), true);
    EXPECT_FALSE(view.table()->isVisible());
    EXPECT_EQ(view.note()->text(),
              "No laps: the drive never comes back on itself (a road, a hill climb or an "
              "autocross)");

    ShownLaps failed;
    failed.failure = QStringLiteral("Failed to read file: gone");
    view.setLaps(failed, true);
    EXPECT_EQ(view.note()->text(), "Lap analysis failed: Failed to read file: gone");
    ShownLaps finding;
    finding.isInProgress = true;
    finding.isLineSet = true;
    view.setLaps(finding, false);
    EXPECT_EQ(view.note()->text(), "Finding Laps\u2026");
    // The line can be put back, but not set without a picture to take the moment from.
    EXPECT_TRUE(view.resetLineButton()->isEnabled());
    EXPECT_FALSE(view.setLineButton()->isEnabled());
    view.setLaps(std::nullopt, true);
    EXPECT_FALSE(view.setLineButton()->isEnabled());
    EXPECT_FALSE(view.resetLineButton()->isEnabled());
    EXPECT_FALSE(view.note()->isVisible());
}

}  // namespace
}  // namespace skelder::ui
