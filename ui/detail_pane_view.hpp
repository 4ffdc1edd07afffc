#pragma once

#include <QWidget>

#include <optional>
#include <vector>

#include "app/app_view_model.hpp"
#include "ui/lap_table_view.hpp"
#include "ui/timeline_bar.hpp"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace skelder::ui {

class PreviewPlayerWidget;
class SegmentedControl;
class TimelineWidget;

// What the main window hands the detail pane about the shown file.
struct DetailPaneFile {
    QString name;  // the last path component
    std::vector<TimelineBar> timelineBars;
    std::optional<double> timelineDurationSeconds;
    bool isHighlightAnalysisInProgress = false;
    // The message of a failed highlight analysis.
    std::optional<QString> analysisFailure;
    ShownLaps laps;
    // The crossings of the start/finish line on the timeline (fractions of its duration).
    std::vector<double> lapTickRatios;
};

// The right column: the processing mode with its explanation, in highlights mode the analysis
// header (or the message of a failed analysis, with Retry) and the timeline of the shown
// file with its lap ticks, the file's title and preview with its lap table beside it (in every
// mode), the highlight filter and the Export button. Mode, filter and
// export go straight to the model; the shown file, the timeline and the preview are set by the main
// window, which owns that state.
class DetailPaneView : public QWidget {
    Q_OBJECT
  public:
    explicit DetailPaneView(AppViewModel& model, QWidget* parent = nullptr);

    // No file: "No selected file" and no bars.
    void setShownFile(const std::optional<DetailPaneFile>& file);
    void setPreviewPlayhead(bool isPlaying, std::optional<double> currentSecond);
    void setSelectedHighlightIndex(std::optional<int> index);
    // Shows the player or, without a source, "Preview Unavailable".
    void setPreviewAvailable(bool available);

    PreviewPlayerWidget* previewPlayer() const { return preview_; }
    TimelineWidget* timeline() const { return timeline_; }
    QPushButton* exportButton() const { return exportButton_; }
    QComboBox* filterPicker() const { return filterPicker_; }
    QButtonGroup* modePicker() const;
    QLabel* analysisHeader() const { return analysisHeader_; }
    QPushButton* retryButton() const { return retryButton_; }
    SegmentedControl* modeControl() const { return modeControl_; }
    QLabel* fileTitle() const { return fileTitle_; }
    QLabel* modeExplanation() const { return modeExplanation_; }
    QCheckBox* verticalToggle() const { return verticalToggle_; }
    QCheckBox* cropFollowToggle() const { return cropFollowToggle_; }
    QWidget* highlightsSection() const { return highlightsSection_; }
    QWidget* filterControl() const { return filterControl_; }
    LapTableView* lapTable() const { return lapTable_; }

  signals:
    // A bar was clicked: the window plays its segment and remembers the index.
    void highlightSelected(int index, const skelder::PlannedSegment& segment);
    void toggleInclusionRequested(const skelder::PlannedSegment& segment);
    // Retry of the shown file's failed analysis.
    void retryAnalysisRequested();
    // A row of the lap table was chosen (telemetry seconds).
    void lapChosen(double startSeconds, double endSeconds);
    void setStartFinishRequested();
    void resetStartFinishRequested();

  private:
    void refreshFromModel();

    AppViewModel& model_;
    SegmentedControl* modeControl_ = nullptr;
    QLabel* modeExplanation_ = nullptr;
    QCheckBox* verticalToggle_ = nullptr;
    QCheckBox* cropFollowToggle_ = nullptr;
    QWidget* highlightsSection_ = nullptr;
    QLabel* analysisHeader_ = nullptr;
    QPushButton* retryButton_ = nullptr;
    TimelineWidget* timeline_ = nullptr;
    QLabel* fileTitle_ = nullptr;
    QStackedWidget* previewOrEmpty_ = nullptr;
    PreviewPlayerWidget* preview_ = nullptr;
    LapTableView* lapTable_ = nullptr;
    std::optional<ShownLaps> shownLaps_;
    QWidget* filterControl_ = nullptr;
    QComboBox* filterPicker_ = nullptr;
    QPushButton* exportButton_ = nullptr;
};

}  // namespace skelder::ui
