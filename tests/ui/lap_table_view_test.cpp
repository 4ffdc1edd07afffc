// The lap table of the detail pane over the laps of a simulated club circuit: the partial laps
// greyed around the complete ones, the best one bold with "Best" for its gap, and one line when
// there are no laps.
#include "ui/lap_table_view.hpp"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

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

// Each row as "Lap|Time|Gap", with a star when it is bold and a tilde when it is greyed.
std::vector<std::string> shownRows(const QTableWidget& table) {
    std::vector<std::string> rows;
    const double textAlpha = table.palette().color(QPalette::Text).alphaF();
    for (int row = 0; row < table.rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < table.columnCount(); ++column)
            texts << table.item(row, column)->text();
        const QTableWidgetItem* item = table.item(row, 1);
        rows.push_back(texts.join('|').toStdString() + (item->font().bold() ? "*" : "") +
                       (item->foreground().color().alphaF() < textAlpha ? "~" : ""));
    }
    return rows;
}

TEST(LapTableView, ListsThePartialLapsGreyedAroundTheLapsWithTheBestInBold) {
    const laps::LapAnalysis& analysis = clubLaps();
    ASSERT_GE(analysis.laps.size(), 3u);
    LapTableView view;
    view.setLaps(
        ShownLaps{.analysis = std::make_shared<laps::LapAnalysis>(analysis), .failure = {}}, true);
    view.show();
    const QTableWidget& table = *view.table();
    ASSERT_TRUE(table.isVisible());
    EXPECT_FALSE(view.note()->isVisible());
    EXPECT_EQ(table.horizontalHeaderItem(0)->text() + table.horizontalHeaderItem(1)->text() +
                  table.horizontalHeaderItem(2)->text(),
              "LapTimeGap");

    const std::string time = "[0-9]:[0-5][0-9]\\.[0-9]{3}";
    std::vector<std::string> expected{"Out\\|" + time + "\\|~"};
    for (const laps::Lap& lap : analysis.laps) {
        expected.push_back(std::to_string(lap.number) + "\\|" + time +
                           (lap.best ? "\\|Best\\*" : "\\|\\+[0-9]\\.[0-9]{3}"));
    }
    expected.push_back("In\\|" + time + "\\|~");
    const std::vector<std::string> rows = shownRows(table);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(std::regex_match(rows[i], std::regex(expected[i]))) << rows[i];
}

TEST(LapTableView, SaysWhyThereAreNoLapsAndWhatItIsWaitingFor) {
    LapTableView view;
    view.show();
    const auto road = std::make_shared<laps::LapAnalysis>(
        laps::analyseLaps(testing::CircuitDrive(testing::road(), {.openRoad = true}).grid()));
    view.setLaps(ShownLaps{.analysis = road, .failure = {}}, true);
    EXPECT_FALSE(view.table()->isVisible());
    EXPECT_EQ(view.note()->text(),
              "No laps: the drive never comes back on itself (a road, a hill climb or an "
              "autocross)");

    view.setLaps(ShownLaps{.analysis = {}, .failure = QStringLiteral("Failed to read file: gone")},
                 true);
    EXPECT_EQ(view.note()->text(), "Lap analysis failed: Failed to read file: gone");
    view.setLaps(ShownLaps{.analysis = {}, .failure = {}, .isInProgress = true, .isLineSet = true},
                 false);
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
