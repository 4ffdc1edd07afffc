#pragma once

// The friction-circle G-force meter in the lower-left corner of the HUD: a small raster with
// the disk, rings, crosshair, trail and current dot, and four direction labels and a peak
// readout around it.

#include <optional>
#include <span>

#include "overlay/bgra_image.hpp"
#include "overlay/hud_canvas.hpp"
#include "overlay/timeline.hpp"

namespace skelder {

// A new raster of the meter; none when a side is below 1 or no raster can be made.
std::optional<BgraImage> makeGForceMeterImage(std::span<const GForcePoint> history,
                                              double currentLatG, double currentLonG, int width,
                                              int height, HudSignal signal = HudSignal::sdr);

// A meter raster that a render worker reuses from frame to frame.
class GForceMeterRaster {
  public:
    // Redraws the meter in the signal; null when no raster of that size can be made.
    const BgraImage* render(std::span<const GForcePoint> history, double currentLatG,
                            double currentLonG, int width, int height,
                            HudSignal signal = HudSignal::sdr);

  private:
    std::optional<BgraImage> image_;
    std::optional<BgraImage> face_;  // the disk, rings and crosshair of image_'s size
    HudSignal faceSignal_ = HudSignal::sdr;
};

// Adds the raster and the labels up, right, down, left and peak to the HUD, in this order.
void drawGForcePanel(HudCanvas& composite, const OverlayRenderSample& renderSample, double s,
                     double m, GForceMeterRaster& raster);

}  // namespace skelder
