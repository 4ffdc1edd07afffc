#pragma once

#include "overlay/hud_canvas.hpp"
#include "overlay/hud_layout.hpp"
#include "overlay/lap_hud.hpp"

namespace skelder::hud {

// The lap elements switched on in `content`, laid out beside the specified elements.
void drawLapElements(HudCanvas& canvas, const HudLayout& layout, const LapHudContent& content,
                     bool debugShown);

}  // namespace skelder::hud
