#include "media/picture_placement.hpp"

#include <libyuv.h>

#include <algorithm>
#include <cmath>

#include "media/media_error.hpp"

namespace skelder::media {
namespace {

// Frames of one size from a pool made for it, made again when the size changes.
VideoFrame frameFrom(std::unique_ptr<FramePool>& pool, int width, int height) {
    if (!pool || pool->width() != width || pool->height() != height)
        pool = std::make_unique<FramePool>(width, height);
    return pool->makeFrame();
}

}  // namespace

PixelRegion fittedRegion(int width, int height, int outputWidth, int outputHeight) {
    const double scale = std::min(static_cast<double>(outputWidth) / std::max(width, 1),
                                  static_cast<double>(outputHeight) / std::max(height, 1));
    const int fittedWidth =
        std::clamp(static_cast<int>(std::lround(width * scale)), 1, outputWidth);
    const int fittedHeight =
        std::clamp(static_cast<int>(std::lround(height * scale)), 1, outputHeight);
    const int left = (outputWidth - fittedWidth) / 2;
    const int top = (outputHeight - fittedHeight) / 2;
    return {left, top, left + fittedWidth, top + fittedHeight};
}

PixelRegion croppedRegion(int width, int height, int outputWidth, int outputHeight, double centre) {
    const double wanted = static_cast<double>(height) * outputWidth / std::max(outputHeight, 1);
    if (wanted >= width)
        return {0, 0, width, height};
    // On whole chroma samples of a 4:2:0 picture (even width and column), as ffmpeg's crop
    // places it: a centred crop is then the one ffmpeg's crop=ih*9/16:ih gives.
    const int cropWidth = std::clamp(static_cast<int>(wanted) & ~1, 1, width);
    const double middle = std::isfinite(centre) ? centre : 0.5;
    const int left =
        std::clamp(static_cast<int>(middle * width - cropWidth / 2.0) & ~1, 0, width - cropWidth);
    return {left, 0, left + cropWidth, height};
}

void PicturePlacer::place(const AVFrame& decoded, int turnDegrees, VideoFrame& destination,
                          std::optional<double> cropCentre) {
    VideoFrame picture = frameFrom(decodedPool_, decoded.width, decoded.height);
    converter_.convert(decoded, picture);
    if (turnDegrees == 90 || turnDegrees == 180 || turnDegrees == 270) {
        const bool quarter = turnDegrees != 180;
        VideoFrame turned = frameFrom(turnedPool_, quarter ? picture.height() : picture.width(),
                                      quarter ? picture.width() : picture.height());
        const auto mode = turnDegrees == 90    ? libyuv::kRotate90
                          : turnDegrees == 180 ? libyuv::kRotate180
                                               : libyuv::kRotate270;
        if (libyuv::ARGBRotate(picture.data(), picture.stride(), turned.data(), turned.stride(),
                               picture.width(), picture.height(), mode) != 0) {
            throw MediaError("Cannot turn the picture");
        }
        picture = std::move(turned);
    }
    if (cropCentre) {
        const PixelRegion crop =
            croppedRegion(picture.width(), picture.height(), destination.width(),
                          destination.height(), *cropCentre);
        if (crop.right - crop.left < picture.width()) {
            if (libyuv::ARGBScale(picture.data() + crop.left * 4, picture.stride(),
                                  crop.right - crop.left, crop.bottom - crop.top,
                                  destination.data(), destination.stride(), destination.width(),
                                  destination.height(), libyuv::kFilterBilinear) != 0) {
                throw MediaError("Cannot scale the picture");
            }
            return;
        }
    }
    const PixelRegion fitted =
        fittedRegion(picture.width(), picture.height(), destination.width(), destination.height());
    // Opaque black around the picture.
    libyuv::ARGBRect(destination.data(), destination.stride(), 0, 0, destination.width(),
                     destination.height(), 0xFF000000u);
    std::uint8_t* target = destination.data() +
                           static_cast<std::ptrdiff_t>(fitted.top) * destination.stride() +
                           fitted.left * 4;
    if (libyuv::ARGBScale(picture.data(), picture.stride(), picture.width(), picture.height(),
                          target, destination.stride(), fitted.right - fitted.left,
                          fitted.bottom - fitted.top, libyuv::kFilterBilinear) != 0) {
        throw MediaError("Cannot scale the picture");
    }
}

}  // namespace skelder::media
