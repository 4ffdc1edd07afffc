#pragma once

#include <QAbstractSpinBox>

namespace skelder::ui {

// The stepper of the telemetry advance: its value in milliseconds shown as "%+.0f ms" in
// fixed-pitch digits, with up and down arrows (and the arrow and page keys, and the mouse
// wheel) moving it by 10 ms within -1500...1500. The text cannot be typed over; the frame
// buttons beside it set any value in the range.
class TelemetryAdvanceStepper : public QAbstractSpinBox {
    Q_OBJECT
    Q_PROPERTY(double value READ value WRITE setValue NOTIFY valueChanged USER true)

  public:
    explicit TelemetryAdvanceStepper(QWidget* parent = nullptr);

    double value() const { return value_; }
    // Sets the value unchanged (the model keeps whatever the buttons made); emits valueChanged
    // when it differs.
    void setValue(double milliseconds);

    void stepBy(int steps) override;
    // Up is disabled at 1500, down at -1500.
    StepEnabled stepEnabled() const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void valueChanged(double milliseconds);

  private:
    double value_ = 0;
};

}  // namespace skelder::ui
