#pragma once

#include <QMenu>
#include <QVariantAnimation>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "ui/timeline_bar.hpp"

namespace skelder::ui {

class TimelineBarButton;

// The highlight timeline of the detail pane: a track with one bar per planned segment,
// coloured by tier and dimmed when excluded from export, the selected bar outlined, the
// playhead while the preview plays, and a thin tick under the track at every crossing of the
// start/finish line. It keeps no model: the owner hands it plain values and
// reacts to its signals.
//
// Bars that appear fade in, and a bar whose colour changes (excluded, included, another tier)
// blends to its new colour, in a short animation while the timeline is on screen.
//
// Every bar is a focusable child button over its click area, so clicks, the context menu,
// keyboard activation and the accessibility texts ("Highlight %lld, starts at %lld seconds";
// "Included in export" / "Excluded from export") come from the toolkit.
class TimelineWidget : public QWidget {
    Q_OBJECT

  public:
    explicit TimelineWidget(QWidget* parent = nullptr);
    ~TimelineWidget() override;

    void setBars(std::vector<TimelineBar> bars);
    const std::vector<TimelineBar>& bars() const { return bars_; }

    // The crossings of the start/finish line as fractions of the timeline's duration; those
    // outside 0...1 are not drawn. The bars keep their layout.
    void setLapTicks(std::vector<double> ratios);
    const std::vector<double>& lapTicks() const { return lapTicks_; }
    // The x of every drawn tick in widget coordinates, in the order given.
    std::vector<double> lapTickXs() const;

    void setTimelineDurationSeconds(std::optional<double> seconds);
    void setPreviewPlaying(bool playing);
    void setPreviewCurrentSecond(std::optional<double> seconds);
    // The outlined bar; an index outside the bars outlines none.
    void setSelectedIndex(std::optional<int> index);
    std::optional<int> selectedIndex() const { return selectedIndex_; }

    void setBarHeight(double points);        // 44 by default
    void setMinimumHitWidth(double points);  // 18 by default
    double barHeight() const { return barHeight_; }

    // The track in widget coordinates; bar layouts and the playhead are relative to its left
    // edge and its width is the timeline width W.
    QRectF trackRect() const;
    std::vector<TimelineBarLayout> barLayouts() const;
    // The playhead's x in widget coordinates, or nothing while it is hidden.
    std::optional<double> playheadX() const;

    // The context menu of bar `index`: "Exclude from Export" or "Include in Export".
    std::unique_ptr<QMenu> contextMenuForBar(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The label and value the accessibility interface reports for a bar.
    static QString accessibleLabel(int index, const TimelineBar& bar);
    static QString accessibleValue(const TimelineBar& bar);
    // The fill of a bar: its tier or exclusion colour at the opacity for its selection state.
    static QColor barFillColor(const TimelineBar& bar, bool selected);

  signals:
    // A bar was clicked (or pressed with the keyboard): first its index, which the widget
    // also outlines from now on, then the segment to play.
    void barSelected(int index);
    void playSegmentRequested(const skelder::PlannedSegment& segment);
    // The context menu's item was chosen for this segment.
    void toggleInclusionRequested(const skelder::PlannedSegment& segment);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class TimelineBarButton;
    void activateBar(int index);
    void showContextMenu(int index, const QPoint& globalPosition);
    void updateButtons();
    // The fill of bar `index` as drawn now, part way through a fade.
    QColor shownFillColor(std::size_t index, bool selected) const;

    std::vector<TimelineBar> bars_;
    // Per bar, the bar it replaced (same segment), while a fade runs; none for a new bar.
    std::vector<std::optional<TimelineBar>> replacedBars_;
    QVariantAnimation fade_;
    double fadeProgress_ = 1;
    std::vector<TimelineBarButton*> buttons_;
    std::vector<double> lapTicks_;
    std::optional<double> durationSeconds_;
    std::optional<double> currentSecond_;
    std::optional<int> selectedIndex_;
    bool isPlaying_ = false;
    double barHeight_ = kTimelineBarHeight;
    double minimumHitWidth_ = kMinimumTimelineHitWidth;
};

}  // namespace skelder::ui
