#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "media/color_properties.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/yuv420_layer.hpp"
#include "overlay/overlay_renderer.hpp"

namespace skelder {

// A job's static HUD layer prepared for compositing straight onto decoded 4:2:0 pictures, made
// on first use for each colour description the pictures carry. Shared by the render workers.
class StaticLayerPictures {
  public:
    explicit StaticLayerPictures(std::shared_ptr<const StaticHUD> layer);

    // The layer for pictures like this one (unturned, of the layer's size); null when it has
    // no patches.
    const media::Yuv420Layer* forPicture(const AVFrame& picture) const;
    // The layer's patches as boxes of an unturned frame of the layer's size.
    const std::vector<media::PixelRegion>& regions() const { return regions_; }

  private:
    std::shared_ptr<const StaticHUD> layer_;
    std::vector<media::PixelRegion> regions_;
    mutable std::mutex mutex_;
    mutable std::vector<std::pair<media::ColorProperties, std::unique_ptr<media::Yuv420Layer>>>
        made_;
};

}  // namespace skelder
