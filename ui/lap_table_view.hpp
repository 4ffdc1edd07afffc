#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "laps/lap_analysis.hpp"

class QLabel;
class QPushButton;
class QTableWidget;

namespace skelder::ui {

// What the detail pane shows of the shown file's laps.
struct ShownLaps {
    std::shared_ptr<const laps::LapAnalysis> analysis;  // null: none found (yet)
    std::optional<QString> failure;                     // why there are none
    bool isInProgress = false;                          // (new) laps are being found
    bool isLineSet = false;                             // the user moved the line
};

// One row of the lap table: a complete lap, or the out-lap or in-lap (partial, greyed).
struct LapRow {
    QString lap;   // "1", "Out", "In"
    QString time;  // "1:28.840"
    QString gap;   // to the best: "+0.412", "Best" for the best, empty for a partial lap
    bool best = false;
    bool partial = false;
    // Telemetry seconds.
    double startSeconds = 0;
    double endSeconds = 0;
};

// The out-lap, every complete lap in order, then the in-lap.
std::vector<LapRow> lapRows(const laps::LapAnalysis& analysis);

// The laps of the shown file: a table of Lap, Time and Gap (the best in bold, the partial laps
// greyed), or one line saying why there are none; under it "Set Start/Finish Here" and "Reset
// Start/Finish". Choosing a row asks to play that lap.
class LapTableView : public QWidget {
    Q_OBJECT
  public:
    explicit LapTableView(QWidget* parent = nullptr);

    // None: no file is shown. `canSetLine`: there is a picture to take the moment from.
    void setLaps(const std::optional<ShownLaps>& shown, bool canSetLine);

    const std::vector<LapRow>& rows() const { return rows_; }
    QTableWidget* table() const { return table_; }
    QLabel* note() const { return note_; }
    QPushButton* setLineButton() const { return setLine_; }
    QPushButton* resetLineButton() const { return resetLine_; }

  signals:
    // Telemetry seconds of the chosen row's lap.
    void lapChosen(double startSeconds, double endSeconds);
    void setLineRequested();
    void resetLineRequested();

  private:
    void fillTable();
    void choose(int row);

    std::vector<LapRow> rows_;
    std::shared_ptr<const laps::LapAnalysis> analysis_;
    QLabel* note_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* setLine_ = nullptr;
    QPushButton* resetLine_ = nullptr;
};

}  // namespace skelder::ui
