#include "overlay/render_sample.hpp"

namespace skelder {

template std::optional<OverlayRenderSample> buildRenderSample<DecisecondGrid>(
    const DecisecondGrid&, const OverlaySampleBounds&, double);

}  // namespace skelder
