#pragma once

// Vertical (9:16) videos for phones: the frame a landscape recording is cropped into, and where
// across the picture the crop looks.

#include <functional>
#include <utility>

#include "export/overlay_export_job.hpp"
#include "media/media_time.hpp"

namespace skelder {

// The vertical frame of a recording shown at `width` × `height`: a landscape picture gives a
// frame as wide as the picture is high and 16/9 of that high (1080 × 1920 from 1920 × 1080), a
// portrait picture keeps its own size. Sides even, as 4:2:0 H.264 needs.
std::pair<int, int> verticalFrameSize(int width, int height);

// Where the crop's centre sits across the picture at every output time of a job (a share of
// the picture's width): the middle; or, following the bends, leaning toward the inside of each
// bend with the lateral acceleration, smoothly (no jumps, a limited pan speed, anticipating the
// bend as much as it follows it) and back to the middle on the straights. `spare` is the share
// of the picture's width the crop leaves out.
std::function<double(media::MediaTime)> cropCentreTrack(const OverlayExportJob& job,
                                                        bool followBends, double spare);

}  // namespace skelder
