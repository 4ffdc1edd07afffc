#pragma once

// The luma weights of the colour matrices we convert with, shared by both directions.

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace skelder::media {

struct LumaWeights {
    double kr;
    double kb;
};

// BT.601 (also for FCC and SMPTE 240M, as the decoder reads them), BT.2020, else BT.709.
inline LumaWeights lumaWeightsFor(AVColorSpace matrix) {
    switch (matrix) {
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
        case AVCOL_SPC_FCC:
        case AVCOL_SPC_SMPTE240M:
            return {0.299, 0.114};
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return {0.2627, 0.0593};
        default:
            return {0.2126, 0.0722};
    }
}

}  // namespace skelder::media
