#pragma once

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace skelder::ui {

class TelemetryAdvanceStepper;

// The settings window: the telemetry advance of the HUD (stepper, one-frame buttons, reset)
// and the timing debug panel of highlights reels. It holds the two values only for display:
// the owner sets them from its model and stores what the signals report.
class SettingsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SettingsWindow(QWidget* parent = nullptr);

    double overlayTimeOffsetMilliseconds() const;
    bool isOverlayTimingDebugHUDEnabled() const;

    // Both setters emit the matching signal when the value changes, like the user's edits.
    void setOverlayTimeOffsetMilliseconds(double milliseconds);
    void setOverlayTimingDebugHUDEnabled(bool enabled);

  signals:
    void overlayTimeOffsetMillisecondsChanged(double milliseconds);
    void overlayTimingDebugHUDEnabledChanged(bool enabled);

  private:
    TelemetryAdvanceStepper* stepper_ = nullptr;
    QCheckBox* debugToggle_ = nullptr;
};

}  // namespace skelder::ui
