#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "media/ffmpeg_handles.hpp"
#include "media/pixel_conversion.hpp"
#include "tests/media/test_frames.hpp"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace skelder::media {
namespace {

struct Picture {
    int width;
    int height;
    int stride;
    std::vector<std::uint8_t> bgra;
};

// Opaque BGRA noise; with `flatSquares` every 2 × 2 square has one colour, so chroma does not
// depend on how a converter filters it.
Picture noisePicture(int width, int height, bool flatSquares, unsigned seed) {
    Picture picture{width, height, width * 4, {}};
    picture.bgra.resize(static_cast<std::size_t>(picture.stride) * height);
    std::minstd_rand random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &picture.bgra[y * picture.stride + x * 4];
            const std::uint8_t* from =
                flatSquares ? &picture.bgra[(y & ~1) * picture.stride + (x & ~1) * 4] : nullptr;
            for (int c = 0; c < 3; ++c)
                pixel[c] = from != nullptr && from != pixel ? from[c]
                                                            : static_cast<std::uint8_t>(random());
            pixel[3] = 255;
        }
    }
    return picture;
}

// libswscale's conversion of the whole picture: the independent reference.
FramePtr convertedBySwscale(const Picture& picture, AVColorSpace matrix, bool fullRange) {
    FramePtr out = decodedPicture(picture.width, picture.height);
    SwsContext* context = sws_getContext(picture.width, picture.height, AV_PIX_FMT_BGRA,
                                         picture.width, picture.height, AV_PIX_FMT_YUV420P,
                                         SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    const int space = matrix == AVCOL_SPC_BT709        ? SWS_CS_ITU709
                      : matrix == AVCOL_SPC_BT2020_NCL ? SWS_CS_BT2020
                                                       : SWS_CS_ITU601;
    const int* coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(context, coefficients, 1, coefficients, fullRange ? 1 : 0, 0, 1 << 16,
                             1 << 16);
    const std::uint8_t* planes[4] = {picture.bgra.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {picture.stride, 0, 0, 0};
    sws_scale(context, planes, strides, 0, picture.height, out->data, out->linesize);
    sws_freeContext(context);
    return out;
}

VideoFrame frameOf(FramePool& pool, const Picture& picture) {
    VideoFrame frame = pool.makeFrame();
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(&picture.bgra[y * picture.stride], picture.width * 4,
                    frame.data() + y * frame.stride());
    return frame;
}

int largestDifference(const AVFrame& a, const AVFrame& b, int plane, int width, int height) {
    int largest = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            largest = std::max(largest, std::abs(a.data[plane][y * a.linesize[plane] + x] -
                                                 b.data[plane][y * b.linesize[plane] + x]));
    return largest;
}

struct MatrixCase {
    AVColorSpace matrix;
    AVColorRange range;
};

class EncoderConversion : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(EncoderConversion, AgreesWithLibswscaleWithinOneStep) {
    const auto [matrix, range] = GetParam();
    const Picture picture = noisePicture(96, 64, true, 7);
    FramePool pool(picture.width, picture.height);
    VideoFrame frame = frameOf(pool, picture);
    FramePtr ours = decodedPicture(picture.width, picture.height);
    ToYuv420Converter converter(picture.width, picture.height, {matrix, range});
    converter.convert(frame, *ours);

    const FramePtr reference = convertedBySwscale(picture, matrix, range == AVCOL_RANGE_JPEG);
    EXPECT_LE(largestDifference(*ours, *reference, 0, 96, 64), 1);
    EXPECT_LE(largestDifference(*ours, *reference, 1, 48, 32), 1);
    EXPECT_LE(largestDifference(*ours, *reference, 2, 48, 32), 1);
}

INSTANTIATE_TEST_SUITE_P(Matrices, EncoderConversion,
                         ::testing::Values(MatrixCase{AVCOL_SPC_BT709, AVCOL_RANGE_MPEG},
                                           MatrixCase{AVCOL_SPC_BT709, AVCOL_RANGE_JPEG},
                                           MatrixCase{AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG},
                                           MatrixCase{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG},
                                           MatrixCase{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_JPEG}));

// Rows are converted sixteen pixels (eight squares) a step with AVX2, the last step
// overlapping the one before; rows shorter than that four at a time (SSE2), then one by one.
// A pixel must come out the same whichever way it went: the picture converted whole must
// equal the picture converted in pieces of fourteen columns.
TEST(EncoderConversion, APixelConvertsTheSameWhicheverStepTakesIt) {
    for (const AVColorSpace matrix : {AVCOL_SPC_BT709, AVCOL_SPC_BT2020_NCL}) {
        for (const AVColorRange range : {AVCOL_RANGE_MPEG, AVCOL_RANGE_JPEG}) {
            for (const int width : {16, 40, 46}) {
                const int height = 8;
                const Picture picture = noisePicture(width, height, false, 21 + width);
                const YuvCoefficients k = yuvCoefficientsFor({matrix, range});
                FramePtr whole = decodedPicture(width, height);
                FramePtr inPieces = decodedPicture(width, height);
                const auto convert = [&](AVFrame& out, int left, int columns) {
                    convertBgraToYuv420(
                        picture.bgra.data() + 4 * left, picture.stride,
                        {out.data[0] + left, out.linesize[0], out.data[1] + left / 2,
                         out.linesize[1], out.data[2] + left / 2, out.linesize[2]},
                        columns, height, k);
                };
                convert(*whole, 0, width);
                for (int left = 0; left < width; left += 14)
                    convert(*inPieces, left, std::min(14, width - left));
                EXPECT_EQ(largestDifference(*whole, *inPieces, 0, width, height), 0)
                    << matrix << ", width " << width;
                EXPECT_EQ(largestDifference(*whole, *inPieces, 1, width / 2, height / 2), 0)
                    << matrix << ", width " << width;
                EXPECT_EQ(largestDifference(*whole, *inPieces, 2, width / 2, height / 2), 0)
                    << matrix << ", width " << width;
            }
        }
    }
}

struct SizeCase {
    int width;
    int height;
};

class RegionConversion : public ::testing::TestWithParam<SizeCase> {};

// The HUD's regions reach the right edge of the picture (the gear, the steering panel) and
// start near the left: converting them must not change one byte outside them. A converter
// that writes whole vectors past a region's end spills into the first columns of the next
// row, which showed as blocks of wrong pixels at the left edge of every HD export.
TEST_P(RegionConversion, ChangesOnlyTheModifiedSquares) {
    const auto [width, height] = GetParam();
    const Picture picture = noisePicture(width, height, false, 11);
    FramePool pool(width, height);
    VideoFrame frame = frameOf(pool, picture);

    // The decoded picture the frame came from: mid grey everywhere.
    FramePtr decoded = decodedPicture(width & ~1, height & ~1);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? decoded->height : decoded->height / 2;
        std::fill_n(decoded->data[plane], decoded->linesize[plane] * rows, plane == 0 ? 100 : 128);
    }
    decoded->colorspace = width >= 1280 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    decoded->color_range = AVCOL_RANGE_MPEG;
    frame.setSourcePicture(decoded.get());
    const std::vector<PixelRegion> regions = {
        {width - 37, 3, width, 41},               // up to the right edge
        {5, height - 30, 61, height - 2},         // near the left edge and the bottom
        {width / 2 - 9, 20, width / 2 + 9, 25},   // odd edges in the middle
        {width / 2 - 3, 22, width / 2 + 40, 30},  // overlapping the previous one
    };
    for (const PixelRegion& region : regions)
        frame.markModified(region);

    FramePtr out = decodedPicture(width & ~1, height & ~1);
    ToYuv420Converter converter(width, height, {decoded->colorspace, AVCOL_RANGE_MPEG});
    converter.convert(frame, *out);

    // Regions grow to whole 2 × 2 squares.
    std::vector<char> covered(static_cast<std::size_t>(out->width) * out->height, 0);
    for (const PixelRegion& r : regions) {
        for (int y = r.top & ~1; y < std::min((r.bottom + 1) & ~1, out->height); ++y)
            for (int x = r.left & ~1; x < std::min((r.right + 1) & ~1, out->width); ++x)
                covered[static_cast<std::size_t>(y) * out->width + x] = 1;
    }
    const auto isCovered = [&](int x, int y) {
        return covered[static_cast<std::size_t>(y) * out->width + x] != 0;
    };
    int outsideChanged = 0;
    int insideKept = 0;
    for (int y = 0; y < out->height; ++y) {
        for (int x = 0; x < out->width; ++x) {
            const std::uint8_t luma = out->data[0][y * out->linesize[0] + x];
            if (!isCovered(x, y) && luma != 100)
                ++outsideChanged;
            if (isCovered(x, y) && luma == 100)
                ++insideKept;
        }
    }
    EXPECT_EQ(outsideChanged, 0) << width << "x" << height;
    EXPECT_LT(insideKept, 200) << "the regions were not converted";
    for (int plane = 1; plane < 3; ++plane) {
        for (int y = 0; y < out->height / 2; ++y) {
            for (int x = 0; x < out->width / 2; ++x) {
                if (!isCovered(2 * x, 2 * y)) {
                    ASSERT_EQ(out->data[plane][y * out->linesize[plane] + x], 128)
                        << "plane " << plane << " at " << x << "," << y;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CameraSizes, RegionConversion,
                         ::testing::Values(SizeCase{640, 360}, SizeCase{854, 480},
                                           SizeCase{1280, 720}, SizeCase{1366, 768},
                                           SizeCase{1920, 1080}, SizeCase{3840, 2160},
                                           SizeCase{1279, 719}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

TEST(RegionConversion, AnOddSizedFrameIsEncodedWithoutItsLastColumnAndRow) {
    const Picture picture = noisePicture(35, 21, true, 3);
    FramePool pool(35, 21);
    VideoFrame frame = frameOf(pool, picture);
    FramePtr out = decodedPicture(34, 20);
    ToYuv420Converter converter(35, 21, {AVCOL_SPC_BT709, AVCOL_RANGE_MPEG});
    converter.convert(frame, *out);

    Picture even = picture;
    even.width = 34;
    even.height = 20;
    const FramePtr reference = convertedBySwscale(even, AVCOL_SPC_BT709, false);
    EXPECT_LE(largestDifference(*out, *reference, 0, 34, 20), 1);
    EXPECT_LE(largestDifference(*out, *reference, 1, 17, 10), 1);
}

// A 10-bit picture (an HDR recording's) takes the same conversion as an 8-bit one: the same
// samples shifted up two bits give the same pixels, whatever the chroma layout.
TEST(DecodedConversion, TenBitPicturesGiveThePixelsOfTheirEightBitOriginals) {
    const int width = 34, height = 20;
    std::minstd_rand random(11);
    for (const auto& [shallow, deep] : {std::pair{AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P10},
                                        std::pair{AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV422P10},
                                        std::pair{AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV444P10}}) {
        SCOPED_TRACE(av_get_pix_fmt_name(shallow));
        const FramePtr eight =
            decodedPicture(width, height, shallow, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG);
        const FramePtr ten = decodedPicture(width, height, deep, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG);
        const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(shallow);
        for (int plane = 0; plane < 3; ++plane) {
            const int shift = plane == 0 ? 0 : 1;
            const int columns = AV_CEIL_RSHIFT(width, shift * layout->log2_chroma_w);
            const int rows = AV_CEIL_RSHIFT(height, shift * layout->log2_chroma_h);
            for (int y = 0; y < rows; ++y) {
                std::uint8_t* in = eight->data[plane] + y * eight->linesize[plane];
                auto* deepRow =
                    reinterpret_cast<std::uint16_t*>(ten->data[plane] + y * ten->linesize[plane]);
                for (int x = 0; x < columns; ++x) {
                    in[x] = static_cast<std::uint8_t>(random());
                    deepRow[x] = static_cast<std::uint16_t>(in[x] << 2);
                }
            }
        }
        FramePool pool(width, height);
        VideoFrame fromEight = pool.makeFrame();
        VideoFrame fromTen = pool.makeFrame();
        ToBgraConverter converter;
        converter.convert(*eight, fromEight);
        converter.convert(*ten, fromTen);
        int differing = 0;
        for (int y = 0; y < height; ++y)
            differing += !std::equal(fromEight.data() + y * fromEight.stride(),
                                     fromEight.data() + y * fromEight.stride() + width * 4,
                                     fromTen.data() + y * fromTen.stride());
        EXPECT_EQ(differing, 0) << "rows";
    }
}

}  // namespace
}  // namespace skelder::media
