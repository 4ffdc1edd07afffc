#include "overlay/overlay_renderer.hpp"

#include "overlay/hud_elements.hpp"
#include "overlay/lap_hud_elements.hpp"

namespace skelder {
namespace {

// The Cairo matrix that takes the displayed picture's pixels (x right, y down, as a player
// shows them) to the stored frame's pixels: the turn undone, then the mirror (its own inverse).
cairo_matrix_t displayedToStored(const BgraFrame& frame) {
    const double w = frame.width;
    const double h = frame.height;
    cairo_matrix_t m;
    switch (frame.displayRotation) {
        case 90:  // shown turned clockwise: stored x = shown y, stored y = h - shown x
            cairo_matrix_init(&m, 0, -1, 1, 0, 0, h);
            break;
        case 180:
            cairo_matrix_init(&m, -1, 0, 0, -1, w, h);
            break;
        case 270:  // stored x = w - shown y, stored y = shown x
            cairo_matrix_init(&m, 0, 1, -1, 0, w, 0);
            break;
        default:
            cairo_matrix_init_identity(&m);
            break;
    }
    if (frame.displayMirrored) {
        cairo_matrix_t mirror;
        cairo_matrix_init(&mirror, -1, 0, 0, 1, w, 0);
        cairo_matrix_multiply(&m, &m, &mirror);
    }
    return m;
}

// A box of the displayed picture as a box of the stored frame.
PixelBox storedBox(const BgraFrame& frame, const PixelBox& shown) {
    const int w = frame.width;
    const int h = frame.height;
    const PixelBox unturned = [&]() -> PixelBox {
        switch (frame.displayRotation) {
            case 90:
                return {shown.top, h - shown.right, shown.bottom, h - shown.left};
            case 180:
                return {w - shown.right, h - shown.bottom, w - shown.left, h - shown.top};
            case 270:
                return {w - shown.bottom, shown.left, w - shown.top, shown.right};
            default:
                return shown;
        }
    }();
    if (!frame.displayMirrored)
        return unturned;
    return {w - unturned.right, unturned.top, w - unturned.left, unturned.bottom};
}

}  // namespace

struct OverlayRenderContext::FrameTarget {
    BgraFrame frame;
    SurfacePtr surface;
    CairoPtr cr;
};

// This worker's own Cairo surfaces over the shared layer's pixels: the layer's pixels are only
// read, and no Cairo object is shared between threads.
struct OverlayRenderContext::StaticSources {
    std::uint64_t layerId = 0;
    std::vector<SurfacePtr> patches;
};

OverlayRenderContext::OverlayRenderContext() : OverlayRenderContext(makeCairoTextPainter()) {}

OverlayRenderContext::OverlayRenderContext(std::unique_ptr<HudTextPainter> textPainter)
    : text_(std::move(textPainter)), staticSources_(std::make_unique<StaticSources>()) {}

OverlayRenderContext::~OverlayRenderContext() = default;

cairo_t* OverlayRenderContext::targetFor(const BgraFrame& frame) {
    if (target_ && target_->frame.data == frame.data && target_->frame.width == frame.width &&
        target_->frame.height == frame.height && target_->frame.stride == frame.stride) {
        cairo_surface_mark_dirty(target_->surface.get());  // the decoder wrote new pixels
        return target_->cr.get();
    }
    target_.reset();
    SurfacePtr surface{cairo_image_surface_create_for_data(
        frame.data, CAIRO_FORMAT_ARGB32, frame.width, frame.height, frame.stride)};
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    CairoPtr cr{cairo_create(surface.get())};
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    target_ = std::make_unique<FrameTarget>(FrameTarget{frame, std::move(surface), std::move(cr)});
    return target_->cr.get();
}

void OverlayRenderContext::drawStaticLayer(HudCanvas& canvas, const StaticHUD& layer) {
    if (staticSources_->layerId != layer.id()) {
        staticSources_->patches.clear();
        for (const StaticHUD::Patch& patch : layer.patches()) {
            staticSources_->patches.emplace_back(cairo_image_surface_create_for_data(
                const_cast<std::uint8_t*>(patch.image.data()), CAIRO_FORMAT_ARGB32,
                patch.image.width(), patch.image.height(), patch.image.stride()));
        }
        staticSources_->layerId = layer.id();
    }
    for (std::size_t i = 0; i < layer.patches().size(); ++i) {
        const StaticHUD::Patch& patch = layer.patches()[i];
        cairo_surface_t* source = staticSources_->patches[i].get();
        if (cairo_surface_status(source) != CAIRO_STATUS_SUCCESS) {
            continue;
        }
        canvas.drawImage(patch.image, source,
                         {static_cast<double>(patch.left), static_cast<double>(patch.bottom)});
    }
}

void OverlayRenderer::drawElements(OverlayRenderContext& context, HudCanvas& canvas,
                                   const OverlayRenderSample& renderSample,
                                   const std::optional<OverlayFrameDebugInfo>& debugInfo,
                                   const StaticHUD* layer, SpeedUnit speedUnit,
                                   bool drawStaticLayer) {
    const HudLayout layout = HudLayout::forFrame(canvas.width(), canvas.height());
    const OverlayTelemetrySample& values = renderSample.telemetry;
    // Each element goes over the previous ones, in this order, as over one overlay image.
    if (layer != nullptr && drawStaticLayer) {
        context.drawStaticLayer(canvas, *layer);
    }
    hud::drawGear(canvas, layout, values.gear);
    for (int row = 0; row < HudLayout::kPedalRows; ++row) {
        if (layer == nullptr) {
            hud::drawPedalBackground(canvas, layout, row);
        }
        hud::drawPedalLevels(canvas, layout, row, values.brake, values.throttle);
    }
    hud::drawSpeed(canvas, layout, values.speedMps, speedUnit);
    if (layer == nullptr) {
        hud::drawSpeedUnitLabel(canvas, layout, speedUnit);
    }
    drawGForcePanel(canvas, renderSample, layout.s, layout.m, context.meter_);
    hud::drawSteeringAngle(canvas, layout, values.steeringDeg);
    if (layer == nullptr) {
        hud::drawRpmBody(canvas, layout);
    }
    hud::drawRpmMarker(canvas, layout, values.rpm);
    if (layer == nullptr) {
        hud::drawRpmScale(canvas, layout);
    }
    hud::drawRpmReadout(canvas, layout, values.rpm);
    if (debugInfo) {
        hud::drawDebugPanel(canvas, layout, *debugInfo);
    }
    if (renderSample.lap) {
        hud::drawLapElements(canvas, layout, *renderSample.lap, debugInfo.has_value(),
                             context.lapMap_);
    }
}

bool OverlayRenderer::drawOverlay(OverlayRenderContext& context, const BgraFrame& frame,
                                  const OverlayRenderSample& renderSample,
                                  const std::optional<OverlayFrameDebugInfo>& debugInfo,
                                  const StaticHUD* staticLayer, SpeedUnit speedUnit,
                                  std::vector<PixelBox>* touched,
                                  const std::vector<PixelBox>* wantedBoxes) {
    if (frame.width <= 0 || frame.height <= 0 || frame.data == nullptr) {
        return false;
    }
    cairo_t* cr = context.targetFor(frame);
    if (cr == nullptr) {
        return false;
    }
    // The HUD is laid out for the picture as it is shown and drawn turned (and mirrored) onto
    // the stored pixels, so it stands upright and reads left to right when the player turns
    // (and mirrors) the frame.
    const int width = frame.displayedWidth();
    const int height = frame.displayedHeight();
    cairo_save(cr);
    const cairo_matrix_t toStored = displayedToStored(frame);
    cairo_set_matrix(cr, &toStored);
    HudCanvas canvas(cr, width, height, *context.text_);
    canvas.setSignal(context.signal_);
    if (frame.shownAsStored()) {
        canvas.drawImagesOnto(&frame);
        canvas.limitImagesTo(wantedBoxes);
    }
    const std::size_t firstTouched = touched != nullptr ? touched->size() : 0;
    canvas.collectDamage(touched);
    drawElements(context, canvas, renderSample, debugInfo,
                 staticLayerFor(staticLayer, width, height), speedUnit);
    cairo_restore(cr);
    cairo_surface_flush(cairo_get_target(cr));
    if (touched != nullptr) {
        for (std::size_t i = firstTouched; i < touched->size(); ++i)
            (*touched)[i] = storedBox(frame, (*touched)[i]);
    }
    return true;
}

std::vector<PixelBox> OverlayRenderer::overlayFootprint(
    OverlayRenderContext& context, const BgraFrame& frame, const OverlayRenderSample& renderSample,
    const std::optional<OverlayFrameDebugInfo>& debugInfo, const StaticHUD* staticLayer,
    SpeedUnit speedUnit) {
    return footprint(context, frame, renderSample, debugInfo, staticLayer, speedUnit, true);
}

std::vector<PixelBox> OverlayRenderer::elementsFootprint(
    OverlayRenderContext& context, const BgraFrame& frame, const OverlayRenderSample& renderSample,
    const std::optional<OverlayFrameDebugInfo>& debugInfo, const StaticHUD* staticLayer,
    SpeedUnit speedUnit) {
    return footprint(context, frame, renderSample, debugInfo, staticLayer, speedUnit, false);
}

std::vector<PixelBox> OverlayRenderer::footprint(
    OverlayRenderContext& context, const BgraFrame& frame, const OverlayRenderSample& renderSample,
    const std::optional<OverlayFrameDebugInfo>& debugInfo, const StaticHUD* staticLayer,
    SpeedUnit speedUnit, bool withStaticLayer) {
    std::vector<PixelBox> boxes;
    if (frame.width <= 0 || frame.height <= 0) {
        return boxes;
    }
    const int width = frame.displayedWidth();
    const int height = frame.displayedHeight();
    HudCanvas canvas(nullptr, width, height, *context.text_);
    canvas.collectDamage(&boxes);
    drawElements(context, canvas, renderSample, debugInfo,
                 staticLayerFor(staticLayer, width, height), speedUnit, withStaticLayer);
    for (PixelBox& box : boxes)
        box = storedBox(frame, box);
    return boxes;
}

}  // namespace skelder
