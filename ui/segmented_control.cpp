#include "ui/segmented_control.hpp"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>

#include "ui/system_colors.hpp"

namespace skelder::ui {
namespace {

constexpr double kTrackRadius = 7;
constexpr double kInset = 2;
constexpr int kSlideMilliseconds = 140;
constexpr int kSegmentPaddingX = 18;
constexpr int kSegmentPaddingY = 5;

// The raised segment: the base colour on a light palette, a lighter button colour on a dark
// one, so it stands out from the track either way.
QColor raisedColor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor button = palette.color(QPalette::Button);
    return base.lightnessF() >= button.lightnessF() ? base : button.lighter(150);
}

}  // namespace

SegmentButton::SegmentButton(const QString& title, QWidget* parent) : QAbstractButton(parent) {
    setText(title);
    setCheckable(true);
    setAccessibleName(title);
    setFocusPolicy(Qt::NoFocus);  // the control takes the focus as a whole
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize SegmentButton::sizeHint() const {
    QFont bold = font();
    bold.setWeight(QFont::DemiBold);
    const QFontMetrics metrics(bold);
    return {metrics.horizontalAdvance(text()) + 2 * kSegmentPaddingX,
            metrics.height() + 2 * kSegmentPaddingY};
}

void SegmentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (underMouse() && !isChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(palette().color(QPalette::ButtonText), 0.07));
        painter.drawRoundedRect(QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset),
                                kTrackRadius - kInset, kTrackRadius - kInset);
    }
    QFont label = font();
    if (isChecked())
        label.setWeight(QFont::DemiBold);
    painter.setFont(label);
    painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                               : secondaryColor(palette(), QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void SegmentButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    update();
}

void SegmentButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    update();
}

SegmentedControl::SegmentedControl(const QStringList& titles, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    group_->setExclusive(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new SegmentButton(titles[i], this);
        group_->addButton(button, i);
        row->addWidget(button, 1);
    }
    connect(group_, &QButtonGroup::idClicked, this, [this](int index) {
        slideTo(index);
        emit indexChosen(index);
    });
    slide_.setDuration(kSlideMilliseconds);
    slide_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&slide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        chosenRect_ = value.toRectF();
        update();
    });
}

void SegmentedControl::setCheckedIndex(int index) {
    QAbstractButton* button = group_->button(index);
    if (button == nullptr || button->isChecked())
        return;
    button->setChecked(true);
    slideTo(index);
}

QRectF SegmentedControl::segmentRect(int index) const {
    const QAbstractButton* button = group_->button(index);
    if (button == nullptr)
        return {};
    return QRectF(button->geometry()).adjusted(kInset, kInset, -kInset, -kInset);
}

void SegmentedControl::slideTo(int index) {
    const QRectF target = segmentRect(index);
    slide_.stop();
    if (chosenRect_.isNull() || !isVisible()) {
        chosenRect_ = target;
        update();
        return;
    }
    slide_.setStartValue(chosenRect_);
    slide_.setEndValue(target);
    slide_.start();
}

QSize SegmentedControl::sizeHint() const {
    QSize size(0, 0);
    for (QAbstractButton* button : group_->buttons()) {
        size.setWidth(size.width() + button->sizeHint().width());
        size.setHeight(std::max(size.height(), button->sizeHint().height()));
    }
    return size;
}

QSize SegmentedControl::minimumSizeHint() const {
    return sizeHint();
}

void SegmentedControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The buttons' places are known once the layout ran.
    QMetaObject::invokeMethod(
        this,
        [this] {
            slide_.stop();
            chosenRect_ = segmentRect(checkedIndex());
            update();
        },
        Qt::QueuedConnection);
}

void SegmentedControl::keyPressEvent(QKeyEvent* event) {
    const int count = static_cast<int>(group_->buttons().size());
    int index = checkedIndex();
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Up) {
        index = std::max(index - 1, 0);
    } else if (event->key() == Qt::Key_Right || event->key() == Qt::Key_Down) {
        index = std::min(index + 1, count - 1);
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    if (index != checkedIndex())
        group_->button(index)->click();
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(withOpacity(colours.color(QPalette::WindowText), 0.12), 1));
    painter.setBrush(withOpacity(colours.color(QPalette::WindowText), 0.07));
    painter.drawRoundedRect(track, kTrackRadius, kTrackRadius);

    // Dividers between segments that are not next to the chosen one.
    const int chosen = checkedIndex();
    painter.setPen(QPen(withOpacity(colours.color(QPalette::WindowText), 0.15), 1));
    for (int i = 1; i < static_cast<int>(group_->buttons().size()); ++i) {
        if (i == chosen || i - 1 == chosen)
            continue;
        const double x = group_->button(i)->geometry().left() + 0.5;
        painter.drawLine(QPointF(x, height() * 0.25), QPointF(x, height() * 0.75));
    }

    if (!chosenRect_.isNull()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(Qt::black, 0.12));
        painter.drawRoundedRect(chosenRect_.translated(0, 0.8), kTrackRadius - kInset,
                                kTrackRadius - kInset);
        painter.setBrush(raisedColor(colours));
        painter.drawRoundedRect(chosenRect_, kTrackRadius - kInset, kTrackRadius - kInset);
    }
    if (hasFocus()) {
        painter.setPen(QPen(colours.color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kTrackRadius, kTrackRadius);
    }
}

}  // namespace skelder::ui
