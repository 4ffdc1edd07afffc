#include "ui/timeline_widget.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "ui/system_colors.hpp"
#include "ui/timeline_bar_button.hpp"

namespace skelder::ui {
namespace {

// Room around the track for the playhead, which overhangs it: a dot and 3 points of line above,
// 3 points of line below, and half a dot to either side at the ends.
constexpr double kSideMargin = 4;
constexpr double kPlayheadDotSize = 6;
constexpr double kPlayheadLineWidth = 2;
constexpr double kPlayheadOverhang = 3;
constexpr double kTopMargin = kPlayheadDotSize + kPlayheadOverhang;
// The lap ticks hang below the track, clear of the bars.
constexpr double kLapTickGap = 1;
constexpr double kLapTickLength = 6;
constexpr double kLapTickWidth = 1.5;
constexpr double kBottomMargin = kLapTickGap + kLapTickLength + 2;
constexpr double kTrackCornerRadius = 6;
constexpr double kBarCornerRadius = 4;
constexpr int kFadeMilliseconds = 180;

QColor mixed(const QColor& from, const QColor& to, double t) {
    const auto channel = [t](float a, float b) { return static_cast<float>(a + (b - a) * t); };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()), channel(from.alphaF(), to.alphaF()));
}

// The accessibility interface of a bar: a button whose value says whether it is exported, with
// the context menu as a second action.
class TimelineBarAccessible : public QAccessibleWidget {
  public:
    explicit TimelineBarAccessible(TimelineBarButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return button()->accessibleValue();
        }
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            button()->click();
        } else if (name == showMenuAction()) {
            QContextMenuEvent event(QContextMenuEvent::Keyboard, button()->rect().center(),
                                    button()->mapToGlobal(button()->rect().center()));
            QCoreApplication::sendEvent(button(), &event);
        }
    }

  private:
    TimelineBarButton* button() const { return static_cast<TimelineBarButton*>(widget()); }
};

QAccessibleInterface* timelineAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TimelineBarButton::staticMetaObject.className())) {
        if (auto* button = qobject_cast<TimelineBarButton*>(object)) {
            return new TimelineBarAccessible(button);
        }
    }
    return nullptr;
}

void installAccessibleFactoryOnce() {
    static const bool installed = [] {
        QAccessible::installFactory(timelineAccessibleFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace

TimelineBarButton::TimelineBarButton(TimelineWidget* timeline, int index)
    : QAbstractButton(timeline), timeline_(timeline), index_(index) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, [this] { timeline_->activateBar(index_); });
}

void TimelineBarButton::paintEvent(QPaintEvent*) {}

void TimelineBarButton::contextMenuEvent(QContextMenuEvent* event) {
    timeline_->showContextMenu(index_, event->globalPos());
    event->accept();
}

void TimelineBarButton::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    timeline_->update();
}

void TimelineBarButton::focusOutEvent(QFocusEvent* event) {
    QAbstractButton::focusOutEvent(event);
    timeline_->update();
}

TimelineWidget::TimelineWidget(QWidget* parent) : QWidget(parent) {
    installAccessibleFactoryOnce();
    fade_.setStartValue(0.0);
    fade_.setEndValue(1.0);
    fade_.setDuration(kFadeMilliseconds);
    fade_.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        fadeProgress_ = value.toDouble();
        update();
    });
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Highlights timeline"));
}

TimelineWidget::~TimelineWidget() = default;

void TimelineWidget::setBars(std::vector<TimelineBar> bars) {
    // What each new bar replaces, and whether anything looks different.
    std::vector<std::optional<TimelineBar>> replaced;
    bool changed = bars.size() != bars_.size();
    for (const TimelineBar& bar : bars) {
        const auto old = std::find_if(bars_.begin(), bars_.end(), [&](const TimelineBar& other) {
            return PlannedSegmentKey::of(other.segment) == PlannedSegmentKey::of(bar.segment);
        });
        replaced.push_back(old == bars_.end() ? std::nullopt : std::optional(*old));
        changed = changed || old == bars_.end() || old->tier != bar.tier ||
                  old->isIncludedInExport != bar.isIncludedInExport;
    }
    bars_ = std::move(bars);
    fade_.stop();
    fadeProgress_ = 1;
    replacedBars_.clear();
    if (changed && isVisible() && !bars_.empty()) {
        replacedBars_ = std::move(replaced);
        fadeProgress_ = 0;
        fade_.start();
    }
    updateButtons();
    update();
}

QColor TimelineWidget::shownFillColor(std::size_t index, bool selected) const {
    const QColor fill = barFillColor(bars_[index], selected);
    if (fadeProgress_ >= 1 || index >= replacedBars_.size())
        return fill;
    if (const auto& old = replacedBars_[index])
        return mixed(barFillColor(*old, selected), fill, fadeProgress_);
    return withOpacity(fill, fadeProgress_);
}

void TimelineWidget::setLapTicks(std::vector<double> ratios) {
    if (lapTicks_ == ratios)
        return;
    lapTicks_ = std::move(ratios);
    update();
}

std::vector<double> TimelineWidget::lapTickXs() const {
    const QRectF track = trackRect();
    std::vector<double> xs;
    for (const double ratio : lapTicks_) {
        if (ratio >= 0 && ratio <= 1)
            xs.push_back(track.left() + std::max(track.width(), 0.0) * ratio);
    }
    return xs;
}

void TimelineWidget::setTimelineDurationSeconds(std::optional<double> seconds) {
    durationSeconds_ = seconds;
    update();
}

void TimelineWidget::setPreviewPlaying(bool playing) {
    isPlaying_ = playing;
    update();
}

void TimelineWidget::setPreviewCurrentSecond(std::optional<double> seconds) {
    currentSecond_ = seconds;
    update();
}

void TimelineWidget::setSelectedIndex(std::optional<int> index) {
    selectedIndex_ = index;
    update();
}

void TimelineWidget::setBarHeight(double points) {
    barHeight_ = std::max(points, 1.0);
    updateGeometry();
    updateButtons();
    update();
}

void TimelineWidget::setMinimumHitWidth(double points) {
    minimumHitWidth_ = std::max(points, 0.0);
    updateButtons();
    update();
}

QRectF TimelineWidget::trackRect() const {
    return {kSideMargin, kTopMargin, width() - 2 * kSideMargin, barHeight_};
}

std::vector<TimelineBarLayout> TimelineWidget::barLayouts() const {
    return timelineBarLayouts(bars_, trackRect().width(), minimumHitWidth_);
}

std::optional<double> TimelineWidget::playheadX() const {
    const QRectF track = trackRect();
    const auto x = timelinePlayheadX(isPlaying_, currentSecond_, durationSeconds_, track.width());
    if (!x) {
        return std::nullopt;
    }
    return track.left() + *x;
}

QString TimelineWidget::accessibleLabel(int index, const TimelineBar& bar) {
    return tr("Highlight %1, starts at %2 seconds")
        .arg(static_cast<long long>(index) + 1)
        .arg(static_cast<long long>(bar.segment.startSecond));
}

QString TimelineWidget::accessibleValue(const TimelineBar& bar) {
    return bar.isIncludedInExport ? tr("Included in export") : tr("Excluded from export");
}

QColor TimelineWidget::barFillColor(const TimelineBar& bar, bool selected) {
    if (!bar.isIncludedInExport) {
        return withOpacity(systemOrange(), selected ? 0.9 : 0.45);
    }
    if (bar.tier == HighlightTier::maybeAdditional) {
        return withOpacity(systemBlue(), selected ? 0.95 : 0.72);
    }
    return withOpacity(systemGreen(), selected ? 0.95 : 0.75);
}

std::unique_ptr<QMenu> TimelineWidget::contextMenuForBar(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= bars_.size()) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(this);
    const TimelineBar& bar = bars_[static_cast<std::size_t>(index)];
    QAction* toggle = menu->addAction(bar.isIncludedInExport ? tr("Exclude from Export")
                                                             : tr("Include in Export"));
    // The segment is taken now: the bars may be replaced while the menu is open.
    connect(toggle, &QAction::triggered, this,
            [this, segment = bar.segment] { emit toggleInclusionRequested(segment); });
    return menu;
}

QSize TimelineWidget::sizeHint() const {
    return {480, static_cast<int>(std::ceil(kTopMargin + barHeight_ + kBottomMargin))};
}

QSize TimelineWidget::minimumSizeHint() const {
    return {static_cast<int>(4 * kSideMargin), sizeHint().height()};
}

void TimelineWidget::activateBar(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= bars_.size()) {
        return;
    }
    const PlannedSegment segment = bars_[static_cast<std::size_t>(index)].segment;
    setSelectedIndex(index);
    emit barSelected(index);
    emit playSegmentRequested(segment);
}

void TimelineWidget::showContextMenu(int index, const QPoint& globalPosition) {
    if (auto menu = contextMenuForBar(index)) {
        menu->exec(globalPosition);
    }
}

void TimelineWidget::updateButtons() {
    while (buttons_.size() > bars_.size()) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    while (buttons_.size() < bars_.size()) {
        auto* button = new TimelineBarButton(this, static_cast<int>(buttons_.size()));
        button->show();
        buttons_.push_back(button);
    }
    const QRectF track = trackRect();
    const std::vector<TimelineBarLayout> layouts = barLayouts();
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        TimelineBarButton* button = buttons_[i];
        // Both edges are rounded the same way, so split click areas stay seamless.
        const auto left = static_cast<int>(std::lround(track.left() + layouts[i].hitStart));
        const auto right =
            static_cast<int>(std::lround(track.left() + layouts[i].hitStart + layouts[i].hitWidth));
        button->setGeometry(left, static_cast<int>(std::lround(track.top())), right - left,
                            static_cast<int>(std::lround(barHeight_)));
        const QString label = accessibleLabel(static_cast<int>(i), bars_[i]);
        button->setAccessibleName(label);
        button->setToolTip(label);
        button->setAccessibleValue(accessibleValue(bars_[i]));
    }
}

void TimelineWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateButtons();
}

void TimelineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = trackRect();
    if (track.width() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(secondaryColor(palette()), 0.18));
        painter.drawRoundedRect(track, kTrackCornerRadius, kTrackCornerRadius);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(secondaryColor(palette()), 0.9));
    for (const double x : lapTickXs()) {
        painter.drawRect(QRectF(x - kLapTickWidth / 2, track.bottom() + kLapTickGap, kLapTickWidth,
                                kLapTickLength));
    }

    const std::vector<TimelineBarLayout> layouts = barLayouts();
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        const bool selected = selectedIndex_ && static_cast<std::size_t>(*selectedIndex_) == i;
        const QRectF bar(track.left() + layouts[i].visualStart, track.top(), layouts[i].visualWidth,
                         barHeight_);
        const double radius = std::min(kBarCornerRadius, bar.width() / 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shownFillColor(i, selected));
        painter.drawRoundedRect(bar, radius, radius);
        if (selected) {
            painter.setPen(QPen(withOpacity(Qt::white, 0.8), 1));
            painter.setBrush(Qt::NoBrush);
            const QRectF inner = bar.adjusted(0.5, 0.5, -0.5, -0.5);
            painter.drawRoundedRect(inner, std::max(radius - 0.5, 0.0),
                                    std::max(radius - 0.5, 0.0));
        }
        if (i < buttons_.size() && buttons_[i]->hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(buttons_[i]->geometry()).adjusted(1, 1, -1, -1), 3, 3);
        }
    }

    if (const auto x = playheadX()) {
        const QRectF line(*x - kPlayheadLineWidth / 2, track.top() - kPlayheadOverhang,
                          kPlayheadLineWidth, barHeight_ + 2 * kPlayheadOverhang);
        const QRectF dot(*x - kPlayheadDotSize / 2, line.top() - kPlayheadDotSize, kPlayheadDotSize,
                         kPlayheadDotSize);
        QPainterPath playhead;
        playhead.addRect(line);
        playhead.addEllipse(dot);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(Qt::black, 0.45));
        painter.drawPath(playhead.translated(0, 1));
        painter.setBrush(Qt::white);
        painter.drawPath(playhead);
    }
}

}  // namespace skelder::ui
