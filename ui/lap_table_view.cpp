#include "ui/lap_table_view.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "laps/lap_texts.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

enum Column { kLapColumn, kTimeColumn, kGapColumn, kColumnCount };

LapRow partialRow(const QString& name, const laps::PartialLap& lap) {
    return {name,
            QString::fromStdString(laps::lapTimeText(lap.endSeconds - lap.startSeconds)),
            {},
            false,
            true,
            lap.startSeconds,
            lap.endSeconds};
}

}  // namespace

std::vector<LapRow> lapRows(const laps::LapAnalysis& analysis) {
    std::vector<LapRow> rows;
    const laps::Lap* best = analysis.bestLap();
    if (analysis.outLap)
        rows.push_back(partialRow(QStringLiteral("Out"), *analysis.outLap));
    for (const laps::Lap& lap : analysis.laps) {
        QString gap = QStringLiteral("Best");
        if (!lap.best && best != nullptr)
            gap = QString::fromStdString(laps::lapGapText(lap.timeSeconds() - best->timeSeconds()));
        rows.push_back({QString::number(lap.number),
                        QString::fromStdString(laps::lapTimeText(lap.timeSeconds())), gap, lap.best,
                        false, lap.startSeconds, lap.endSeconds});
    }
    if (analysis.inLap)
        rows.push_back(partialRow(QStringLiteral("In"), *analysis.inLap));
    return rows;
}

LapTableView::LapTableView(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("Laps"));
    title->setFont(styledFont(title->font(), TextStyle::headline));
    column->addWidget(title);

    note_ = new QLabel;
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    note_->setFont(styledFont(note_->font(), TextStyle::callout));
    useSecondaryForeground(note_);
    column->addWidget(note_);

    table_ = new QTableWidget(0, kColumnCount);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Lap"), QStringLiteral("Time"), QStringLiteral("Gap")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->setFont(monospacedDigitsFont(table_->font()));
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setAccessibleName(QStringLiteral("Laps"));
    table_->setToolTip(QStringLiteral("Choose a lap to play it"));
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int) { choose(row); });
    connect(table_, &QTableWidget::cellActivated, this, [this](int row, int) { choose(row); });
    column->addWidget(table_, 1);

    setLine_ = new QPushButton(QStringLiteral("Set Start/Finish Here"));
    setLine_->setAutoDefault(false);
    setLine_->setToolTip(
        QStringLiteral("Put the start/finish line where the car is in the preview's picture"));
    connect(setLine_, &QPushButton::clicked, this, &LapTableView::setLineRequested);
    resetLine_ = new QPushButton(QStringLiteral("Reset Start/Finish"));
    resetLine_->setAutoDefault(false);
    resetLine_->setToolTip(
        QStringLiteral("Put the line back at the end of the longest full-throttle stretch"));
    connect(resetLine_, &QPushButton::clicked, this, &LapTableView::resetLineRequested);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(setLine_);
    buttons->addWidget(resetLine_);
    column->addLayout(buttons);
    setLaps(std::nullopt, false);
}

void LapTableView::setLaps(const std::optional<ShownLaps>& shown, bool canSetLine) {
    const std::shared_ptr<const laps::LapAnalysis> analysis =
        shown ? shown->analysis : std::shared_ptr<const laps::LapAnalysis>();
    const bool hasLaps = analysis && !analysis->laps.empty();
    if (analysis != analysis_) {
        analysis_ = analysis;
        rows_ = hasLaps ? lapRows(*analysis) : std::vector<LapRow>{};
        fillTable();
    }

    QString note;
    if (shown && shown->isInProgress) {
        note = QStringLiteral("Finding Laps\u2026");
    } else if (shown && shown->failure) {
        note = QStringLiteral("Lap analysis failed: ") + *shown->failure;
    } else if (analysis && !hasLaps) {
        note = QStringLiteral("No laps: ") +
               QString::fromStdString(
                   laps::noLapsText(analysis->noLaps.value_or(laps::NoLapsReason::noCompleteLap)));
    }
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    table_->setVisible(hasLaps);
    setLine_->setEnabled(shown.has_value() && canSetLine);
    resetLine_->setEnabled(shown && shown->isLineSet);
}

void LapTableView::fillTable() {
    table_->clearContents();
    table_->setRowCount(static_cast<int>(rows_.size()));
    const QColor greyed = secondaryColor(table_->palette(), QPalette::Text);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const LapRow& row = rows_[i];
        const QString texts[kColumnCount] = {row.lap, row.time, row.gap};
        for (int c = 0; c < kColumnCount; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setTextAlignment((c == kLapColumn ? Qt::AlignLeft : Qt::AlignRight) |
                                   Qt::AlignVCenter);
            if (row.best) {
                QFont bold = table_->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            if (row.partial)
                item->setForeground(greyed);
            table_->setItem(static_cast<int>(i), c, item);
        }
    }
}

void LapTableView::choose(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    const LapRow& lap = rows_[static_cast<std::size_t>(row)];
    emit lapChosen(lap.startSeconds, lap.endSeconds);
}

}  // namespace skelder::ui
