#pragma once

// The telemetry HUD drawn straight into decoded video frames: gear, speed, pedal bars, the
// engine-speed bar, the steering angle, the G-force meter and the timing debug panel.
//
// Per job: makeStaticHUD once, shared read-only by every render worker. Per worker: one
// OverlayRenderContext. Per frame: drawOverlay into the frame's BGRA pixels, touching only the
// pixels under the HUD.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/speed_unit.hpp"
#include "overlay/bgra_image.hpp"
#include "overlay/gforce_meter.hpp"
#include "overlay/hud_text.hpp"
#include "overlay/lap_hud_elements.hpp"
#include "overlay/timeline.hpp"

namespace skelder {

// The elements that never change during a job (pedal backgrounds, the speed's unit label, the
// steering panel, the engine-speed bar and its scale) for one frame size, kept as the
// rectangles of the layer that hold any pixels. Immutable once made.
class StaticHUD {
  public:
    struct Patch {
        int left = 0;
        int bottom = 0;  // lower edge in frame coordinates (y upwards)
        BgraImage image;
    };

    StaticHUD(int width, int height, std::vector<Patch> patches);
    StaticHUD(const StaticHUD&) = delete;
    StaticHUD& operator=(const StaticHUD&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    const std::vector<Patch>& patches() const { return patches_; }
    // Distinguishes layers for the workers' caches.
    std::uint64_t id() const { return id_; }

  private:
    int width_;
    int height_;
    std::vector<Patch> patches_;
    std::uint64_t id_;
};

// What one render worker draws with: its text painter with cached fonts, its meter raster and
// its Cairo objects for the frame buffer. Used by one thread at a time.
class OverlayRenderContext {
  public:
    OverlayRenderContext();
    explicit OverlayRenderContext(std::unique_ptr<HudTextPainter> textPainter);
    ~OverlayRenderContext();
    OverlayRenderContext(const OverlayRenderContext&) = delete;
    OverlayRenderContext& operator=(const OverlayRenderContext&) = delete;

    // The signal the HUD's colours are written in from now on (SDR unless set).
    void setSignal(HudSignal signal) { signal_ = signal; }

  private:
    friend class OverlayRenderer;
    struct FrameTarget;
    struct StaticSources;

    // Cairo objects over the frame's pixels, kept while the same buffer comes back.
    cairo_t* targetFor(const BgraFrame& frame);
    void drawStaticLayer(HudCanvas& canvas, const StaticHUD& layer);

    std::unique_ptr<HudTextPainter> text_;
    GForceMeterRaster meter_;
    hud::LapMapRaster lapMap_;
    std::unique_ptr<FrameTarget> target_;
    std::unique_ptr<StaticSources> staticSources_;
    HudSignal signal_ = HudSignal::sdr;
};

class OverlayRenderer {
  public:
    OverlayRenderer() = delete;

    // The static layer for frames of this size, labelled for the speed unit, its colours in
    // the signal (the context's, for the second); an empty layer when a side is not positive.
    static std::shared_ptr<const StaticHUD> makeStaticHUD(int width, int height,
                                                          SpeedUnit speedUnit = kDefaultSpeedUnit,
                                                          HudSignal signal = HudSignal::sdr);
    static std::shared_ptr<const StaticHUD> makeStaticHUD(OverlayRenderContext& context, int width,
                                                          int height,
                                                          SpeedUnit speedUnit = kDefaultSpeedUnit);

    // The layer when the frame's width and height each differ from it by less than half a
    // pixel, else null (the frame then draws the static elements itself).
    static const StaticHUD* staticLayerFor(const StaticHUD* staticHUD, double frameWidth,
                                           double frameHeight);

    // Draws the HUD over the frame (source-over), the speed in `speedUnit` (the static layer
    // must be made for the same unit). A layer that does not fit the frame is ignored. Returns
    // false, leaving the frame untouched, when the frame has no pixels. When `touched` is given it
    // receives boxes covering every pixel that may have changed, so a caller can re-encode only
    // those. With `wantedBoxes` (of an unturned frame) only the pixels in those boxes are
    // wanted: the static layer may be left out elsewhere.
    static bool drawOverlay(OverlayRenderContext& context, const BgraFrame& frame,
                            const OverlayRenderSample& renderSample,
                            const std::optional<OverlayFrameDebugInfo>& debugInfo,
                            const StaticHUD* staticLayer, SpeedUnit speedUnit = kDefaultSpeedUnit,
                            std::vector<PixelBox>* touched = nullptr,
                            const std::vector<PixelBox>* wantedBoxes = nullptr);

    // The boxes drawOverlay would report as touched for the same arguments, found without
    // drawing: a caller that has not made every pixel of the frame yet makes just these first.
    // Only the frame's size and rotation are read.
    static std::vector<PixelBox> overlayFootprint(
        OverlayRenderContext& context, const BgraFrame& frame,
        const OverlayRenderSample& renderSample,
        const std::optional<OverlayFrameDebugInfo>& debugInfo, const StaticHUD* staticLayer,
        SpeedUnit speedUnit = kDefaultSpeedUnit);

    // The same for the elements drawn over the static layer alone: for a caller that lays the
    // layer itself (its patches are its boxes) and draws the rest with drawOverlay.
    static std::vector<PixelBox> elementsFootprint(
        OverlayRenderContext& context, const BgraFrame& frame,
        const OverlayRenderSample& renderSample,
        const std::optional<OverlayFrameDebugInfo>& debugInfo, const StaticHUD* staticLayer,
        SpeedUnit speedUnit = kDefaultSpeedUnit);

  private:
    static std::vector<PixelBox> footprint(OverlayRenderContext& context, const BgraFrame& frame,
                                           const OverlayRenderSample& renderSample,
                                           const std::optional<OverlayFrameDebugInfo>& debugInfo,
                                           const StaticHUD* staticLayer, SpeedUnit speedUnit,
                                           bool withStaticLayer);
    static void drawElements(OverlayRenderContext& context, HudCanvas& canvas,
                             const OverlayRenderSample& renderSample,
                             const std::optional<OverlayFrameDebugInfo>& debugInfo,
                             const StaticHUD* layer, SpeedUnit speedUnit,
                             bool drawStaticLayer = true);
};

}  // namespace skelder
