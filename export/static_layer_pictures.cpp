#include "export/static_layer_pictures.hpp"

#include "media/pixel_conversion.hpp"

namespace skelder {

StaticLayerPictures::StaticLayerPictures(std::shared_ptr<const StaticHUD> layer)
    : layer_(std::move(layer)) {}

const media::Yuv420Layer* StaticLayerPictures::forPicture(const AVFrame& picture) const {
    if (layer_ == nullptr || layer_->patches().empty())
        return nullptr;
    const media::ColorProperties color = media::colorPropertiesOf(picture);
    std::lock_guard lock(mutex_);
    for (const auto& [madeFor, layer] : made_) {
        if (madeFor.matrix == color.matrix && madeFor.range == color.range)
            return layer.get();
    }
    std::vector<media::Yuv420Layer::Patch> patches;
    const std::vector<media::PixelRegion> boxes = staticLayerRegions(*layer_);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const BgraImage& image = layer_->patches()[i].image;
        patches.push_back({boxes[i].left, boxes[i].top, image.width(), image.height(), image.data(),
                           image.stride()});
    }
    made_.emplace_back(color, std::make_unique<media::Yuv420Layer>(patches, color));
    return made_.back().second.get();
}

std::vector<media::PixelRegion> staticLayerRegions(const StaticHUD& layer) {
    std::vector<media::PixelRegion> regions;
    for (const StaticHUD::Patch& patch : layer.patches()) {
        // Patches are placed by their lower-left corner, rows counted from the bottom.
        const int top = layer.height() - patch.bottom - patch.image.height();
        regions.push_back(
            {patch.left, top, patch.left + patch.image.width(), top + patch.image.height()});
    }
    return regions;
}

}  // namespace skelder
