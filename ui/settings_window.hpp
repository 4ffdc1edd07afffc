#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>

#include "app/telemetry_advance_estimator.hpp"
#include "core/speed_unit.hpp"
#include "overlay/lap_hud.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace skelder::ui {

class TelemetryAdvanceStepper;

// The settings window: the telemetry advance of the HUD (stepper, one-frame buttons, reset),
// the timing debug panel of highlights reels, the unit speeds are shown in and the lap elements
// of the HUD. It holds the
// values only for display: the owner sets them from its model and stores what the signals
// report.
//
// Auto measures the advance from the engine sound of the recording the main window shows and
// sets it when the estimate is trusted, offering the previous value back.
class SettingsWindow : public QWidget {
    Q_OBJECT

  public:
    using ShownRecording = std::function<std::optional<std::filesystem::path>()>;

    // `estimate` stands in for reading the recording (tests); empty: the real estimate.
    explicit SettingsWindow(QWidget* parent = nullptr,
                            TelemetryAdvanceEstimator::Estimate estimate = {});

    // Where Auto finds the recording to listen to.
    void setShownRecording(ShownRecording shownRecording) {
        shownRecording_ = std::move(shownRecording);
    }
    QPushButton* autoButton() const { return autoButton_; }
    QPushButton* previousValueButton() const { return previousValueButton_; }
    QLabel* autoStatus() const { return autoStatus_; }
    QProgressBar* autoProgress() const { return autoProgress_; }

    double overlayTimeOffsetMilliseconds() const;
    bool isOverlayTimingDebugHUDEnabled() const;
    SpeedUnit speedUnit() const;
    LapHudElements lapHudElements() const;
    QCheckBox* lapTimerToggle() const { return lapToggles_[0]; }
    QCheckBox* lapGapToggle() const { return lapToggles_[1]; }
    QCheckBox* lapMapToggle() const { return lapToggles_[2]; }

    // The setters emit the matching signal when the value changes, like the user's edits.
    void setOverlayTimeOffsetMilliseconds(double milliseconds);
    void setOverlayTimingDebugHUDEnabled(bool enabled);
    void setSpeedUnit(SpeedUnit unit);
    void setLapHudElements(const LapHudElements& elements);

  signals:
    void overlayTimeOffsetMillisecondsChanged(double milliseconds);
    void overlayTimingDebugHUDEnabledChanged(bool enabled);
    void speedUnitChanged(SpeedUnit unit);
    void lapHudElementsChanged(const LapHudElements& elements);

  private:
    void startAutoAdvance();
    void showAutoAdvance(const TelemetryAdvanceOutcome& outcome);

    TelemetryAdvanceStepper* stepper_ = nullptr;
    QCheckBox* debugToggle_ = nullptr;
    TelemetryAdvanceEstimator* estimator_ = nullptr;
    ShownRecording shownRecording_;
    QPushButton* autoButton_ = nullptr;
    QPushButton* previousValueButton_ = nullptr;
    QLabel* autoStatus_ = nullptr;
    QProgressBar* autoProgress_ = nullptr;
    double previousValue_ = 0;
    QComboBox* speedUnitPicker_ = nullptr;
    QCheckBox* lapToggles_[3] = {};  // timer, gap, map
};

}  // namespace skelder::ui
