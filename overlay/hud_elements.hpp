#pragma once

// The HUD's elements, each drawn over what is already there. The static ones go into the
// static layer once per job, or into a frame that has no fitting static layer.

#include "overlay/hud_canvas.hpp"
#include "overlay/hud_layout.hpp"
#include "overlay/timeline.hpp"

namespace skelder::hud {

// Static elements.
void drawPedalBackground(HudCanvas& canvas, const HudLayout& layout, int row);
// "MPH" or "KM/H" under the speed.
void drawSpeedUnitLabel(HudCanvas& canvas, const HudLayout& layout, SpeedUnit unit);
void drawSteeringPanel(HudCanvas& canvas, const HudLayout& layout);
void drawRpmBody(HudCanvas& canvas, const HudLayout& layout);
void drawRpmScale(HudCanvas& canvas, const HudLayout& layout);

// Live elements.
void drawGear(HudCanvas& canvas, const HudLayout& layout, std::int64_t gear);
void drawPedalLevels(HudCanvas& canvas, const HudLayout& layout, int row, double brake,
                     double throttle);
void drawSpeed(HudCanvas& canvas, const HudLayout& layout, double speedMps, SpeedUnit unit);
void drawSteeringAngle(HudCanvas& canvas, const HudLayout& layout, double steeringDeg);
void drawRpmMarker(HudCanvas& canvas, const HudLayout& layout, double rpm);
void drawRpmReadout(HudCanvas& canvas, const HudLayout& layout, double rpm);
void drawDebugPanel(HudCanvas& canvas, const HudLayout& layout, const OverlayFrameDebugInfo& info);

}  // namespace skelder::hud
