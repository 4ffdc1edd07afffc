#include "media/pixel_conversion.hpp"

#include <libyuv.h>

#include <algorithm>
#include <vector>

#include "media/media_error.hpp"
#include "media/square_runs.hpp"
#include "media/yuv_to_bgra.hpp"

namespace skelder::media {
namespace {

bool isBT601(AVColorSpace matrix) {
    return matrix == AVCOL_SPC_BT470BG || matrix == AVCOL_SPC_SMPTE170M ||
           matrix == AVCOL_SPC_FCC || matrix == AVCOL_SPC_SMPTE240M;
}
bool isBT2020(AVColorSpace matrix) {
    return matrix == AVCOL_SPC_BT2020_NCL || matrix == AVCOL_SPC_BT2020_CL;
}

const libyuv::YuvConstants* yuvConstantsFor(const ColorProperties& color) {
    const bool full = color.isFullRange();
    if (isBT601(color.matrix))
        return full ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
    if (isBT2020(color.matrix))
        return full ? &libyuv::kYuvV2020Constants : &libyuv::kYuv2020Constants;
    return full ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants;
}

int swsColorspaceFor(AVColorSpace matrix) {
    if (isBT601(matrix))
        return SWS_CS_ITU601;
    if (isBT2020(matrix))
        return SWS_CS_BT2020;
    return SWS_CS_ITU709;
}

ColorProperties colorOf(const AVFrame& frame) {
    ColorProperties color{frame.colorspace, frame.color_range, frame.color_primaries,
                          frame.color_trc};
    switch (frame.format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
            color.range = AVCOL_RANGE_JPEG;
            break;
        default:
            break;
    }
    return color.resolved(frame.width, frame.height);
}

}  // namespace

ColorProperties ColorProperties::resolved(int width, int height) const {
    ColorProperties result = *this;
    if (result.matrix == AVCOL_SPC_UNSPECIFIED || result.matrix == AVCOL_SPC_RESERVED ||
        result.matrix == AVCOL_SPC_RGB) {
        result.matrix = (width >= 1280 || height >= 720) ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    }
    if (result.range != AVCOL_RANGE_JPEG)
        result.range = AVCOL_RANGE_MPEG;
    return result;
}

ColorProperties colorPropertiesOf(const AVFrame& picture) {
    return colorOf(picture);
}

RgbCoefficients rgbCoefficientsOf(const AVFrame& picture) {
    return rgbCoefficientsFor(colorOf(picture));
}

void convertYuv420RunToBgra(const AVFrame& picture, const SquareRun& run, std::uint8_t* bgra,
                            int bgraStride, const RgbCoefficients& k) {
    const int width = run.right - run.left;
    if (width <= 0 || run.rows <= 0)
        return;
    const std::ptrdiff_t chromaRow = run.top / 2;
    const int chromaColumn = run.left / 2;
    const ConstYuvPlanes planes{
        picture.data[0] + static_cast<std::ptrdiff_t>(run.top) * picture.linesize[0] + run.left,
        picture.linesize[0],
        picture.data[1] + chromaRow * picture.linesize[1] + chromaColumn,
        picture.linesize[1],
        picture.data[2] + chromaRow * picture.linesize[2] + chromaColumn,
        picture.linesize[2]};
    convertYuvToBgra(planes, ChromaLayout::k420,
                     bgra + static_cast<std::ptrdiff_t>(run.top) * bgraStride + run.left * 4,
                     bgraStride, width, run.rows, k);
}

void ToBgraConverter::convert(const AVFrame& s, VideoFrame& destination) {
    const ColorProperties color = colorOf(s);
    std::uint8_t* out = destination.data();
    const int outStride = destination.stride();
    const int w = s.width, h = s.height;
    // A picture of another size is scaled below.
    const bool sameSize = w == destination.width() && h == destination.height();
    const ConstYuvPlanes source{s.data[0],     s.linesize[0], s.data[1],
                                s.linesize[1], s.data[2],     s.linesize[2]};
    // Our own conversion, the exact inverse of the encoder's: what is drawn on goes back to
    // the colours it came in, and a still shows the colours the export keeps.
    const auto convertPlanes = [&](ChromaLayout layout) {
        convertYuvToBgra(source, layout, out, outStride, w, h, rgbCoefficientsFor(color));
    };
    const auto convertDeepPlanes = [&](ChromaLayout layout, int bitDepth) {
        convertDeepYuvToBgra(source, bitDepth, layout, out, outStride, w, h,
                             rgbCoefficientsFor(color));
    };
    int result = -1;
    switch (sameSize ? s.format : AV_PIX_FMT_NONE) {
        case AV_PIX_FMT_YUV420P:
        case AV_PIX_FMT_YUVJ420P:
            return convertPlanes(ChromaLayout::k420);
        case AV_PIX_FMT_YUV422P:
        case AV_PIX_FMT_YUVJ422P:
            return convertPlanes(ChromaLayout::k422);
        case AV_PIX_FMT_YUV444P:
        case AV_PIX_FMT_YUVJ444P:
            return convertPlanes(ChromaLayout::k444);
        // Deeper pictures (HDR recordings) take the same conversion, so 8-bit and 10-bit
        // sources of one scene give the same colours.
        case AV_PIX_FMT_YUV420P10:
            return convertDeepPlanes(ChromaLayout::k420, 10);
        case AV_PIX_FMT_YUV422P10:
            return convertDeepPlanes(ChromaLayout::k422, 10);
        case AV_PIX_FMT_YUV444P10:
            return convertDeepPlanes(ChromaLayout::k444, 10);
        case AV_PIX_FMT_YUV420P12:
            return convertDeepPlanes(ChromaLayout::k420, 12);
        case AV_PIX_FMT_YUV422P12:
            return convertDeepPlanes(ChromaLayout::k422, 12);
        case AV_PIX_FMT_YUV444P12:
            return convertDeepPlanes(ChromaLayout::k444, 12);
        case AV_PIX_FMT_NV12:
            result = libyuv::NV12ToARGBMatrix(s.data[0], s.linesize[0], s.data[1], s.linesize[1],
                                              out, outStride, yuvConstantsFor(color), w, h);
            break;
        default:
            break;
    }
    if (result == 0)
        return;

    // Other formats (semi-planar 10-bit, paletted, RGB…) and other sizes: libswscale.
    fallback_.reset(sws_getCachedContext(
        fallback_.release(), w, h, static_cast<AVPixelFormat>(s.format), destination.width(),
        destination.height(), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!fallback_)
        throw MediaError("Unsupported pixel format");
    const int* coefficients = sws_getCoefficients(swsColorspaceFor(color.matrix));
    sws_setColorspaceDetails(fallback_.get(), coefficients, color.isFullRange() ? 1 : 0,
                             coefficients, 1, 0, 1 << 16, 1 << 16);
    std::uint8_t* planes[4] = {out, nullptr, nullptr, nullptr};
    int strides[4] = {outStride, 0, 0, 0};
    sws_scale(fallback_.get(), s.data, s.linesize, 0, h, planes, strides);
}

ToYuv420Converter::ToYuv420Converter(int width, int height, ColorProperties color)
    : width_(width & ~1),
      height_(height & ~1),
      color_(color.resolved(width, height)),
      coefficients_(yuvCoefficientsFor(color_)) {}

bool ToYuv420Converter::canReuse(const AVFrame& picture) const {
    if (picture.width < width_ || picture.height < height_)
        return false;
    if (picture.format != AV_PIX_FMT_YUV420P && picture.format != AV_PIX_FMT_YUVJ420P)
        return false;
    const ColorProperties own = colorOf(picture);
    return own.matrix == color_.matrix && own.range == color_.range;
}

void ToYuv420Converter::convert(const VideoFrame& source, AVFrame& d) const {
    if (source.width() < width_ || source.height() < height_)
        throw MediaError("Cannot convert frames for the encoder");
    const AVFrame* picture = source.sourcePicture();
    if (picture == nullptr || !canReuse(*picture)) {
        convertBlock(source.data(), source.stride(), {0, 0, width_, height_}, d);
        return;
    }
    if (av_frame_copy(&d, picture) < 0)
        throw MediaError("Cannot convert frames for the encoder");
    convertModifiedRegions(source, d);
}

AVFrame* ToYuv420Converter::convertIntoSourcePicture(VideoFrame& source) const {
    const AVFrame* picture = source.sourcePicture();
    if (picture == nullptr || !canReuse(*picture) || source.width() < width_ ||
        source.height() < height_ || av_frame_is_writable(const_cast<AVFrame*>(picture)) == 0) {
        return nullptr;
    }
    AVFrame* own = const_cast<AVFrame*>(picture);
    convertModifiedRegions(source, *own);
    return source.takeSourcePicture();
}

void ToYuv420Converter::convertModifiedRegions(const VideoFrame& source, AVFrame& d) const {
    // The HUD's regions overlap a lot (a bar, its zones and its ticks): each square under them
    // is converted once. Only these pixels are read, so deferred pixels elsewhere stay unmade.
    const std::uint8_t* bgra = source.rawData();
    const int stride = source.stride();
    forEachCoveredRun(source.modifiedRegions(), width_, height_, [&](const SquareRun& run) {
        convertBlock(bgra, stride, {run.left, run.top, run.right, run.top + run.rows}, d);
    });
}

void ToYuv420Converter::convertBlock(const std::uint8_t* bgraPixels, int bgraStride,
                                     PixelRegion block, AVFrame& d) const {
    const int left = block.left;
    const int top = block.top;
    const int w = block.right - block.left;
    const int h = block.bottom - block.top;
    if (w <= 0 || h <= 0)
        return;
    const std::uint8_t* bgra =
        bgraPixels + static_cast<std::ptrdiff_t>(top) * bgraStride + left * 4;
    const Yuv420Planes planes{
        d.data[0] + static_cast<std::ptrdiff_t>(top) * d.linesize[0] + left,         d.linesize[0],
        d.data[1] + static_cast<std::ptrdiff_t>(top / 2) * d.linesize[1] + left / 2, d.linesize[1],
        d.data[2] + static_cast<std::ptrdiff_t>(top / 2) * d.linesize[2] + left / 2, d.linesize[2]};
    // Our own conversion on every matrix, the exact inverse of the decoded side's: libyuv's
    // BT.601 encoders round chroma down, which would tint the pixels under the HUD.
    convertBgraToYuv420(bgra, bgraStride, planes, w, h, coefficients_);
}

}  // namespace skelder::media
