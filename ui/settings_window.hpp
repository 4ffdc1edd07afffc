#pragma once

#include <QWidget>

#include "core/speed_unit.hpp"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace skelder::ui {

class TelemetryAdvanceStepper;

// The settings window: the telemetry advance of the HUD (stepper, one-frame buttons, reset),
// the timing debug panel of highlights reels and the unit speeds are shown in. It holds the
// values only for display: the owner sets them from its model and stores what the signals
// report.
class SettingsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SettingsWindow(QWidget* parent = nullptr);

    double overlayTimeOffsetMilliseconds() const;
    bool isOverlayTimingDebugHUDEnabled() const;
    SpeedUnit speedUnit() const;

    // The setters emit the matching signal when the value changes, like the user's edits.
    void setOverlayTimeOffsetMilliseconds(double milliseconds);
    void setOverlayTimingDebugHUDEnabled(bool enabled);
    void setSpeedUnit(SpeedUnit unit);

  signals:
    void overlayTimeOffsetMillisecondsChanged(double milliseconds);
    void overlayTimingDebugHUDEnabledChanged(bool enabled);
    void speedUnitChanged(SpeedUnit unit);

  private:
    TelemetryAdvanceStepper* stepper_ = nullptr;
    QCheckBox* debugToggle_ = nullptr;
    QComboBox* speedUnitPicker_ = nullptr;
};

}  // namespace skelder::ui
