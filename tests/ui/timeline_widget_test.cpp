#include "ui/timeline_widget.hpp"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ui/system_colors.hpp"

namespace skelder::ui {
namespace {

using ::testing::ElementsAre;

constexpr double kDuration = 600;

PlannedSegment segment(std::int64_t start, std::int64_t end) {
    return {start, end, end - start + 1, 20.0, 2.0, 3.0};
}

// Three bars on a 600-second recording, on a track 600 points wide (one point per second):
// [100, 110) best, [300, 310) maybe additional, [500, 510) excluded.
class TimelineWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        timeline.setBars({
            timelineBarFor(segment(100, 109), kDuration, HighlightTier::best, true),
            timelineBarFor(segment(300, 309), kDuration, HighlightTier::maybeAdditional, true),
            timelineBarFor(segment(500, 509), kDuration, HighlightTier::best, false),
        });
        timeline.setTimelineDurationSeconds(kDuration);
        timeline.resize(timeline.sizeHint());
        timeline.resize(static_cast<int>(600 + (timeline.width() - timeline.trackRect().width())),
                        timeline.sizeHint().height());
        timeline.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&timeline));
        ASSERT_DOUBLE_EQ(timeline.trackRect().width(), 600);
        QObject::connect(&timeline, &TimelineWidget::barSelected, [this](int index) {
            events.push_back("select " + std::to_string(index));
        });
        QObject::connect(&timeline, &TimelineWidget::playSegmentRequested,
                         [this](const PlannedSegment& played) {
                             events.push_back("play " + std::to_string(played.startSecond));
                         });
        QObject::connect(&timeline, &TimelineWidget::toggleInclusionRequested,
                         [this](const PlannedSegment& toggled) {
                             events.push_back("toggle " + std::to_string(toggled.startSecond));
                         });
    }

    // A point on the track, `x` points from its left edge, half way down.
    QPoint trackPoint(double x) const {
        const QRectF track = timeline.trackRect();
        return QPointF(track.left() + x, track.center().y()).toPoint();
    }

    void clickAt(QPoint point, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(timeline.windowHandle(), button, {}, point);
        QApplication::processEvents();
    }

    QColor pixelAt(QPoint point) { return timeline.grab().toImage().pixelColor(point); }

    QAbstractButton* barButton(int index) {
        for (auto* button : timeline.findChildren<QAbstractButton*>()) {
            if (button->accessibleName() ==
                TimelineWidget::accessibleLabel(index, timeline.bars()[index])) {
                return button;
            }
        }
        return nullptr;
    }

    TimelineWidget timeline;
    std::vector<std::string> events;
};

// `color` (with its alpha) over an opaque `below`.
QColor over(QColor below, QColor color) {
    const double a = color.alphaF();
    return QColor::fromRgbF(static_cast<float>(below.redF() * (1 - a) + color.redF() * a),
                            static_cast<float>(below.greenF() * (1 - a) + color.greenF() * a),
                            static_cast<float>(below.blueF() * (1 - a) + color.blueF() * a));
}

MATCHER_P(NearColor, expected, "") {
    const int tolerance = 3;
    *result_listener << "is " << arg.name().toStdString() << ", expected "
                     << expected.name().toStdString();
    return std::abs(arg.red() - expected.red()) <= tolerance &&
           std::abs(arg.green() - expected.green()) <= tolerance &&
           std::abs(arg.blue() - expected.blue()) <= tolerance;
}

TEST_F(TimelineWidgetTest, ClickingABarSelectsItThenPlaysItsSegmentAndClicksBesideDoNothing) {
    clickAt(trackPoint(200));
    clickAt(trackPoint(294));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(timeline.selectedIndex(), std::nullopt);
    clickAt(trackPoint(305));
    EXPECT_THAT(events, ElementsAre("select 1", "play 300"));
    EXPECT_EQ(timeline.selectedIndex(), 1);
}

TEST_F(TimelineWidgetTest, TheContextMenuTogglesInclusion) {
    std::vector<QString> titles;
    auto answerMenu = [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            titles.push_back(action->text());
        menu->actions().front()->trigger();
        menu->close();
    };
    QTimer::singleShot(50, answerMenu);
    clickAt(trackPoint(105), Qt::RightButton);
    QTimer::singleShot(50, answerMenu);
    clickAt(trackPoint(505), Qt::RightButton);
    EXPECT_THAT(titles, ElementsAre("Exclude from Export", "Include in Export"));
    EXPECT_THAT(events, ElementsAre("toggle 100", "toggle 500"));
    EXPECT_EQ(timeline.selectedIndex(), std::nullopt);  // the menu neither selects nor plays
}

TEST_F(TimelineWidgetTest, BarsSayWhereTheyStartAndWhetherTheyAreExportedAndPlayByKey) {
    const std::vector<std::pair<QString, QString>> expected = {
        {"Highlight 1, starts at 100 seconds", "Included in export"},
        {"Highlight 2, starts at 300 seconds", "Included in export"},
        {"Highlight 3, starts at 500 seconds", "Excluded from export"},
    };
    for (int i = 0; i < 3; ++i) {
        QAbstractButton* button = barButton(i);
        ASSERT_NE(button, nullptr);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), expected[i].first);
        EXPECT_EQ(accessible->text(QAccessible::Value), expected[i].second);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
    }
    // The keyboard plays the focused bar.
    QAbstractButton* button = barButton(2);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_THAT(events, ElementsAre("select 2", "play 500"));
}

TEST_F(TimelineWidgetTest, BarsAreColouredByTierAndExclusion) {
    const QColor background = timeline.palette().color(QPalette::Window);
    const QColor track =
        over(background, withOpacity(timeline.palette().color(QPalette::WindowText), 0.09));
    EXPECT_THAT(pixelAt(trackPoint(200)), NearColor(track));
    EXPECT_THAT(pixelAt(trackPoint(105)), NearColor(over(track, withOpacity(systemGreen(), 0.75))));
    EXPECT_THAT(pixelAt(trackPoint(305)), NearColor(over(track, withOpacity(systemBlue(), 0.72))));
    EXPECT_THAT(pixelAt(trackPoint(505)),
                NearColor(over(track, withOpacity(systemOrange(), 0.45))));
}

// The laps' crossings hang below the track as thin ticks; the bars stay where they were.
TEST_F(TimelineWidgetTest, LapTicksAreDrawnUnderTheTrackAtTheCrossings) {
    const std::vector<TimelineBarLayout> layouts = timeline.barLayouts();
    const QRectF track = timeline.trackRect();
    const QPoint underTick(static_cast<int>(track.left() + 60),
                           static_cast<int>(std::ceil(track.bottom())) + 3);
    const QPoint besideTick = underTick + QPoint(20, 0);
    const QColor background = pixelAt(besideTick);
    EXPECT_THAT(pixelAt(underTick), NearColor(background));

    timeline.setLapTicks({0.1, 0.5, 1.2, -0.1});
    ASSERT_THAT(timeline.lapTickXs(), ElementsAre(track.left() + 60, track.left() + 300));
    const QColor tick = pixelAt(underTick);
    EXPECT_GT(std::abs(tick.lightness() - background.lightness()), 40) << tick.name().toStdString();
    EXPECT_THAT(pixelAt(besideTick), NearColor(background));
    EXPECT_EQ(timeline.barLayouts(), layouts);
    EXPECT_EQ(timeline.trackRect(), track);
    EXPECT_GE(timeline.sizeHint().height(), underTick.y() + 4);
}

}  // namespace
}  // namespace skelder::ui
