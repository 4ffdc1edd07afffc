#pragma once

// Where every HUD element sits in a frame of a given size, and the texts it shows. All
// geometry scales with the frame; the reference frame is 1920 x 1080.

#include <cstdint>
#include <string>

#include "core/speed_unit.hpp"
#include "overlay/geometry.hpp"
#include "overlay/timeline.hpp"

namespace skelder {

struct HudLayout {
    double width = 0;
    double height = 0;
    double s = 1;            // layout scale
    double m = 26;           // margin
    double right = 0;        // R: right edge of the gear and pedals
    double topBaseline = 0;  // T: lower edge of the top row (gear, speed)
    Rect gPanel;
    double gPanelCentreY = 0;
    Rect rpmBar;
    Rect steeringBox;

    static HudLayout forFrame(double width, double height);

    static constexpr int kPedalRows = 5;
    Rect brakeCell(int row) const;
    Rect throttleCell(int row) const;

    Rect debugPanel() const;

    // The lap elements, at the top left where no specified element is (under the debug panel
    // when it is shown): the timer panel, the gap beside it (or in its place) and the circuit's
    // map under them.
    Rect lapTimerPanel(bool debugShown) const;
    Rect lapGapBox(bool debugShown, bool timerShown) const;
    Rect lapMapBox(bool debugShown, bool rowShown) const;
};

// max(0.4, min(width / 1920, height / 1080)).
double hudLayoutScale(double width, double height);

// Display values of one sample; non-finite inputs read as the resting value.
// The speed in the driver's unit, never below 0.
double displaySpeed(double speedMps, SpeedUnit unit);
double displayRpm(double rpm);
double rpmFraction(double rpm);
double clampedSteeringDeg(double steeringDeg);

std::string gearText(std::int64_t gear);
std::string speedText(double speedMps, SpeedUnit unit = kDefaultSpeedUnit);
std::string steeringText(double steeringDeg);
std::string rpmReadoutText(double rpm);
std::string gLabelText(double valueG);
std::string peakGText(double peakG);

// Colour of a G-force reading: red above 0.9 g, amber above 0.75 g, else white.
Rgba gForceColour(double valueG, double alpha);

std::string debugSourceLine(const OverlayFrameDebugInfo& info);
std::string debugTimingLine(const OverlayFrameDebugInfo& info);

}  // namespace skelder
