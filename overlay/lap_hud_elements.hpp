#pragma once

#include <memory>
#include <optional>

#include "overlay/bgra_image.hpp"
#include "overlay/hud_canvas.hpp"
#include "overlay/hud_layout.hpp"
#include "overlay/lap_hud.hpp"

namespace skelder::hud {

// The map's panel with the circuit's outline, drawn once for a recording's laps at a size and
// kept while they come back: the outline's hundreds of points cost far more to stroke than to
// copy. One per render worker.
class LapMapRaster {
  public:
    // Null when no raster of that size can be made.
    const BgraImage* render(const std::shared_ptr<const laps::LapClock>& clock, int side, double s);

  private:
    std::shared_ptr<const laps::LapClock> clock_;
    std::optional<BgraImage> image_;
    double s_ = 0;
};

// The lap elements switched on in `content`, laid out beside the specified elements.
void drawLapElements(HudCanvas& canvas, const HudLayout& layout, const LapHudContent& content,
                     bool debugShown, LapMapRaster& mapRaster);

}  // namespace skelder::hud
