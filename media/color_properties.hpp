#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace skelder::media {

// The colour description of a video stream, carried from the source into what we write so
// players show the colours unchanged.
struct ColorProperties {
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;

    // The matrix and range actually used for conversion: BT.709 for HD and BT.601 for SD
    // when the stream does not say; limited range unless it says full.
    ColorProperties resolved(int width, int height) const;
    bool isFullRange() const { return range == AVCOL_RANGE_JPEG; }
};

}  // namespace skelder::media
