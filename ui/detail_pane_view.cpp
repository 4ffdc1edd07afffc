#include "ui/detail_pane_view.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

#include "ui/empty_state_panel.hpp"
#include "ui/preview_player_widget.hpp"
#include "ui/segmented_control.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"
#include "ui/timeline_widget.hpp"

namespace skelder::ui {
namespace {

// The segments of the processing mode control, in the ProcessingMode order.
constexpr ProcessingMode kModes[] = {ProcessingMode::full, ProcessingMode::highlights,
                                     ProcessingMode::bestLaps, ProcessingMode::hudLayer};
constexpr int kLapTableWidth = 250;

int modeIndex(ProcessingMode mode) {
    return static_cast<int>(std::find(std::begin(kModes), std::end(kModes), mode) -
                            std::begin(kModes));
}

QString explanationOf(ProcessingMode mode) {
    switch (mode) {
        case ProcessingMode::full:
            return QStringLiteral("Export one full overlay video per selected file.");
        case ProcessingMode::highlights:
            return QStringLiteral("Create one combined highlights reel from all selected files.");
        case ProcessingMode::bestLaps:
            return QStringLiteral("Create one reel of the best lap of each selected file.");
        case ProcessingMode::hudLayer:
            return QStringLiteral(
                "Export the HUD alone over transparent pixels, one video per selected file, to "
                "lay over your own edit.");
    }
    return {};
}

QLabel* headlineLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setFont(styledFont(label->font(), TextStyle::headline));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

DetailPaneView::DetailPaneView(AppViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* pane = new QVBoxLayout(this);
    pane->setContentsMargins(16, 16, 16, 16);
    pane->setSpacing(14);

    // Processing mode: one segmented control, in the ProcessingMode order.
    auto* modeBox = new QGroupBox;
    auto* modeColumn = new QVBoxLayout(modeBox);
    modeColumn->setSpacing(8);
    modeColumn->addWidget(headlineLabel(QStringLiteral("Processing Mode")));
    modeControl_ =
        new SegmentedControl({QStringLiteral("Full"), QStringLiteral("Highlights"),
                              QStringLiteral("Best Laps"), QStringLiteral("HUD Layer Only")});
    modeControl_->setMaximumWidth(480);
    modeControl_->setAccessibleName(QStringLiteral("Processing Mode"));
    connect(modeControl_, &SegmentedControl::indexChosen, this, [this](int id) {
        if (id >= 0 && id < static_cast<int>(std::size(kModes)))
            model_.setSelectedMode(kModes[id]);
    });
    auto* segments = new QWidget;
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->addWidget(modeControl_, 1);
    segmentRow->addStretch(0);
    modeColumn->addWidget(segments);
    modeExplanation_ = new QLabel;
    modeExplanation_->setFont(styledFont(modeExplanation_->font(), TextStyle::callout));
    modeExplanation_->setWordWrap(true);
    useSecondaryForeground(modeExplanation_);
    modeColumn->addWidget(modeExplanation_);
    // The frame's shape, for every mode but the HUD layer (which keeps the recording's).
    verticalToggle_ = new QCheckBox(QStringLiteral("Vertical (9:16) for Phones"));
    cropFollowToggle_ = new QCheckBox(QStringLiteral("Crop Follows the Bends"));
    cropFollowToggle_->setToolTip(
        QStringLiteral("The vertical crop leans toward the inside of each bend"));
    const auto shapeChosen = [this] {
        model_.setVideoShape({.vertical = verticalToggle_->isChecked(),
                              .cropFollowsBends = cropFollowToggle_->isChecked()});
    };
    connect(verticalToggle_, &QCheckBox::clicked, this, shapeChosen);
    connect(cropFollowToggle_, &QCheckBox::clicked, this, shapeChosen);
    auto* shapeColumn = new QVBoxLayout;
    shapeColumn->setSpacing(4);
    shapeColumn->addWidget(verticalToggle_);
    auto* followRow = new QHBoxLayout;
    followRow->setContentsMargins(22, 0, 0, 0);
    followRow->addWidget(cropFollowToggle_);
    shapeColumn->addLayout(followRow);
    modeColumn->addLayout(shapeColumn);
    pane->addWidget(modeBox);

    // Highlights: the analysis header and the timeline.
    highlightsSection_ = new QWidget;
    auto* highlightsColumn = new QVBoxLayout(highlightsSection_);
    highlightsColumn->setContentsMargins(0, 0, 0, 0);
    highlightsColumn->setSpacing(8);
    auto* analysisRow = new QHBoxLayout;
    analysisRow->setSpacing(12);
    analysisHeader_ = headlineLabel(QStringLiteral("Detected Interesting Parts"));
    analysisHeader_->setWordWrap(true);
    analysisRow->addWidget(analysisHeader_, 1);
    retryButton_ = new QPushButton(QStringLiteral("Retry"));
    retryButton_->setAutoDefault(false);
    retryButton_->setAccessibleDescription(QStringLiteral("Analyze the file again"));
    retryButton_->hide();
    connect(retryButton_, &QPushButton::clicked, this, &DetailPaneView::retryAnalysisRequested);
    analysisRow->addWidget(retryButton_, 0, Qt::AlignTop);
    highlightsColumn->addLayout(analysisRow);
    timeline_ = new TimelineWidget;
    highlightsColumn->addWidget(timeline_);
    connect(timeline_, &TimelineWidget::barSelected, this, [this](int index) {
        const auto& bars = timeline_->bars();
        if (index >= 0 && index < static_cast<int>(bars.size()))
            emit highlightSelected(index, bars[static_cast<std::size_t>(index)].segment);
    });
    connect(timeline_, &TimelineWidget::toggleInclusionRequested, this,
            &DetailPaneView::toggleInclusionRequested);
    pane->addWidget(highlightsSection_);

    // The shown file and its preview, its laps beside it.
    auto* previewColumn = new QVBoxLayout;
    previewColumn->setSpacing(8);
    fileTitle_ = headlineLabel(QStringLiteral("No selected file"));
    previewColumn->addWidget(fileTitle_);
    previewOrEmpty_ = new QStackedWidget;
    previewOrEmpty_->setMinimumHeight(320 - 30);
    preview_ = new PreviewPlayerWidget;
    previewOrEmpty_->addWidget(preview_);
    previewOrEmpty_->addWidget(
        new EmptyStatePanel(QStringLiteral("Preview Unavailable"), Symbol::playRectangle,
                            QStringLiteral("Select a file in the sidebar to preview")));
    previewOrEmpty_->setCurrentIndex(1);
    previewColumn->addWidget(previewOrEmpty_, 1);
    auto* previewRow = new QHBoxLayout;
    previewRow->setSpacing(14);
    previewRow->addLayout(previewColumn, 1);
    lapTable_ = new LapTableView;
    lapTable_->setFixedWidth(kLapTableWidth);
    connect(lapTable_, &LapTableView::lapChosen, this, &DetailPaneView::lapChosen);
    connect(lapTable_, &LapTableView::setLineRequested, this,
            &DetailPaneView::setStartFinishRequested);
    connect(lapTable_, &LapTableView::resetLineRequested, this,
            &DetailPaneView::resetStartFinishRequested);
    previewRow->addWidget(lapTable_);
    pane->addLayout(previewRow, 1);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    pane->addWidget(divider);

    // The export row: the filter (highlights mode) and the Export button.
    auto* exportRow = new QHBoxLayout;
    exportRow->setContentsMargins(0, 2, 0, 2);
    exportRow->setSpacing(16);
    filterControl_ = new QWidget;
    auto* filterRow = new QHBoxLayout(filterControl_);
    filterRow->setContentsMargins(0, 0, 0, 0);
    filterRow->setSpacing(16);
    auto* filterLabel = new QLabel(QStringLiteral("Highlight Filter"));
    filterLabel->setFixedWidth(110);
    useSecondaryForeground(filterLabel);
    filterRow->addWidget(filterLabel);
    filterPicker_ = new QComboBox;
    filterPicker_->setAccessibleName(QStringLiteral("Highlight Filter"));
    for (HighlightFilterMode mode :
         {HighlightFilterMode::onlyBest, HighlightFilterMode::maybeInteresting}) {
        filterPicker_->addItem(QString::fromUtf8(
            displayTitle(mode).data(), static_cast<qsizetype>(displayTitle(mode).size())));
    }
    filterPicker_->setFixedWidth(220);
    connect(filterPicker_, &QComboBox::activated, this, [this](int index) {
        model_.setSelectedHighlightFilterMode(index == 0 ? HighlightFilterMode::onlyBest
                                                         : HighlightFilterMode::maybeInteresting);
    });
    filterRow->addWidget(filterPicker_);
    exportRow->addWidget(filterControl_);
    exportRow->addStretch(1);
    exportButton_ = new QPushButton(QStringLiteral("Export"));
    QFont exportFont = styledFont(exportButton_->font(), TextStyle::title2);
    exportFont.setWeight(QFont::DemiBold);
    exportButton_->setFont(exportFont);
    exportButton_->setMinimumSize(148, 50);
    exportButton_->setDefault(true);
    exportButton_->setAutoDefault(true);
    exportButton_->setShortcut(QKeySequence(Qt::Key_Return));
    exportButton_->setAccessibleDescription(
        QStringLiteral("Export selected files with the chosen mode"));
    exportButton_->setToolTip(exportButton_->accessibleDescription());
    QPalette accent = exportButton_->palette();
    accent.setColor(QPalette::Button, accent.color(QPalette::Highlight));
    accent.setColor(QPalette::ButtonText, accent.color(QPalette::HighlightedText));
    exportButton_->setPalette(accent);
    connect(exportButton_, &QPushButton::clicked, this, [this] { model_.startExport(); });
    exportRow->addWidget(exportButton_);
    pane->addLayout(exportRow);

    for (auto signal :
         {&AppViewModel::selectedModeChanged, &AppViewModel::selectedHighlightFilterModeChanged,
          &AppViewModel::isProcessingChanged, &AppViewModel::selectedFilePathKeysChanged,
          &AppViewModel::droppedFilesChanged, &AppViewModel::videoShapeChanged}) {
        connect(&model_, signal, this, &DetailPaneView::refreshFromModel);
    }
    refreshFromModel();
}

QButtonGroup* DetailPaneView::modePicker() const {
    return modeControl_->group();
}

void DetailPaneView::refreshFromModel() {
    const bool highlights = model_.selectedMode() == ProcessingMode::highlights;
    modeControl_->setCheckedIndex(modeIndex(model_.selectedMode()));
    modeExplanation_->setText(explanationOf(model_.selectedMode()));
    highlightsSection_->setVisible(highlights);
    filterControl_->setVisible(highlights);
    const bool layer = model_.selectedMode() == ProcessingMode::hudLayer;
    verticalToggle_->setChecked(model_.videoShape().vertical);
    cropFollowToggle_->setChecked(model_.videoShape().cropFollowsBends);
    verticalToggle_->setEnabled(!layer);
    cropFollowToggle_->setEnabled(!layer && model_.videoShape().vertical);
    filterPicker_->setCurrentIndex(
        model_.selectedHighlightFilterMode() == HighlightFilterMode::onlyBest ? 0 : 1);
    exportButton_->setText(model_.isProcessing() ? QStringLiteral("Exporting…")
                                                 : QStringLiteral("Export"));
    // Enabled exactly when an export would have files to take.
    exportButton_->setEnabled(!model_.isProcessing() && !model_.selectedExportURLs().empty());
}

void DetailPaneView::setShownFile(const std::optional<DetailPaneFile>& file) {
    fileTitle_->setText(file ? file->name : QStringLiteral("No selected file"));
    const bool analysing = file && file->isHighlightAnalysisInProgress;
    const std::optional<QString> failure = file ? file->analysisFailure : std::nullopt;
    if (failure) {
        analysisHeader_->setText(QStringLiteral("Highlight analysis failed: ") + *failure);
    } else {
        analysisHeader_->setText(analysing ? QStringLiteral("Analyzing Video")
                                           : QStringLiteral("Detected Interesting Parts"));
    }
    retryButton_->setVisible(failure.has_value());
    timeline_->setTimelineDurationSeconds(file ? file->timelineDurationSeconds : std::nullopt);
    timeline_->setBars(file ? file->timelineBars : std::vector<TimelineBar>{});
    timeline_->setLapTicks(file ? file->lapTickRatios : std::vector<double>{});
    shownLaps_ = file ? std::optional(file->laps) : std::nullopt;
    lapTable_->setLaps(shownLaps_, previewOrEmpty_->currentIndex() == 0);
}

void DetailPaneView::setPreviewPlayhead(bool isPlaying, std::optional<double> currentSecond) {
    timeline_->setPreviewPlaying(isPlaying);
    timeline_->setPreviewCurrentSecond(currentSecond);
}

void DetailPaneView::setSelectedHighlightIndex(std::optional<int> index) {
    timeline_->setSelectedIndex(index);
}

void DetailPaneView::setPreviewAvailable(bool available) {
    previewOrEmpty_->setCurrentIndex(available ? 0 : 1);
    lapTable_->setLaps(shownLaps_, available);
}

}  // namespace skelder::ui
