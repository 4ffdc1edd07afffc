#pragma once

#include <QAbstractButton>
#include <QButtonGroup>
#include <QVariantAnimation>
#include <QWidget>

namespace skelder::ui {

// One segment of a SegmentedControl: a checkable button that draws only its title; the
// control draws the track and the chosen segment behind it.
class SegmentButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit SegmentButton(const QString& title, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

// A row of mutually exclusive choices in one rounded track, the chosen one raised on it (the
// processing mode's "Full" and "Highlights"). The raised segment slides to a new choice in a
// short animation. The control takes the keyboard focus as a whole and the arrow keys move the
// choice; each segment is a checkable button to assistive technology.
class SegmentedControl : public QWidget {
    Q_OBJECT
  public:
    explicit SegmentedControl(const QStringList& titles, QWidget* parent = nullptr);

    QButtonGroup* group() const { return group_; }
    int checkedIndex() const { return group_->checkedId(); }
    // Chooses a segment without reporting it as the user's choice.
    void setCheckedIndex(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // The user chose a segment.
    void indexChosen(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QRectF segmentRect(int index) const;
    void slideTo(int index);

    QButtonGroup* group_;
    QVariantAnimation slide_;
    QRectF chosenRect_;
};

}  // namespace skelder::ui
