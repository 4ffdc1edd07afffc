#include "export/static_layer_pictures.hpp"

#include "media/pixel_conversion.hpp"

namespace skelder {

StaticLayerPictures::StaticLayerPictures(std::shared_ptr<const StaticHUD> layer)
    : layer_(std::move(layer)) {
    if (layer_ == nullptr)
        return;
    for (const StaticHUD::Patch& patch : layer_->patches()) {
        // Patches are placed by their lower-left corner, rows counted from the bottom.
        const int top = layer_->height() - patch.bottom - patch.image.height();
        regions_.push_back(
            {patch.left, top, patch.left + patch.image.width(), top + patch.image.height()});
    }
}

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
    for (std::size_t i = 0; i < regions_.size(); ++i) {
        const BgraImage& image = layer_->patches()[i].image;
        patches.push_back({regions_[i].left, regions_[i].top, image.width(), image.height(),
                           image.data(), image.stride()});
    }
    made_.emplace_back(color, std::make_unique<media::Yuv420Layer>(patches, color));
    return made_.back().second.get();
}

}  // namespace skelder
