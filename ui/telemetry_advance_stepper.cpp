#include "ui/telemetry_advance_stepper.hpp"

#include <QLineEdit>
#include <QStyleOptionSpinBox>

#include "ui/telemetry_advance.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

constexpr int kTextWidth = 120;

}  // namespace

TelemetryAdvanceStepper::TelemetryAdvanceStepper(QWidget* parent) : QAbstractSpinBox(parent) {
    lineEdit()->setReadOnly(true);
    setFont(monospacedDigitsFont(font()));
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAccelerated(true);
    lineEdit()->setText(QString::fromStdString(telemetryAdvanceText(value_)));
}

void TelemetryAdvanceStepper::setValue(double milliseconds) {
    const bool changed = milliseconds != value_;
    value_ = milliseconds;
    lineEdit()->setText(QString::fromStdString(telemetryAdvanceText(value_)));
    update();
    if (changed) {
        emit valueChanged(value_);
    }
}

void TelemetryAdvanceStepper::stepBy(int steps) {
    setValue(steppedTelemetryAdvance(value_, steps));
}

QAbstractSpinBox::StepEnabled TelemetryAdvanceStepper::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (value_ < kTelemetryAdvanceLimitMilliseconds) {
        enabled |= StepUpEnabled;
    }
    if (value_ > -kTelemetryAdvanceLimitMilliseconds) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

QSize TelemetryAdvanceStepper::sizeHint() const {
    // The text area is 120 points wide; the arrows and the frame come on top.
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QRect edit =
        style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, this);
    const int chrome = std::max(0, width() - edit.width());
    QSize size = QAbstractSpinBox::sizeHint();
    size.setWidth(kTextWidth + (chrome > 0 ? chrome : 24));
    return size;
}

QSize TelemetryAdvanceStepper::minimumSizeHint() const {
    return sizeHint();
}

}  // namespace skelder::ui
