#pragma once

#include <QAbstractButton>

namespace skelder::ui {

class TimelineWidget;

// The click area of one timeline bar. It draws nothing (the timeline draws every bar, so a
// bar may be wider than its share of a contested click area) and forwards clicks and context
// menu requests to the timeline. Its accessibility interface reports the bar's label and its
// export state as the value.
class TimelineBarButton : public QAbstractButton {
    Q_OBJECT

  public:
    TimelineBarButton(TimelineWidget* timeline, int index);

    int index() const { return index_; }
    void setAccessibleValue(const QString& value) { accessibleValue_ = value; }
    const QString& accessibleValue() const { return accessibleValue_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    TimelineWidget* timeline_;
    int index_;
    QString accessibleValue_;
};

}  // namespace skelder::ui
