#include "export/hud_layer.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "core/cancellation.hpp"
#include "export/export_error.hpp"
#include "export/render_workers.hpp"
#include "media/asset.hpp"

namespace skelder {
namespace {

// Pictures a stretch holds, each stretch encoded on its own from a key picture: five seconds at
// 30 frames a second.
constexpr std::size_t kStretchPictures = 150;

// Makes a box of the picture transparent again.
void clearBox(BgraImage& image, const PixelBox& box) {
    const int left = std::clamp(box.left, 0, image.width());
    const int right = std::clamp(box.right, 0, image.width());
    for (int row = std::max(box.top, 0); row < std::min(box.bottom, image.height()); ++row) {
        std::memset(image.data() + static_cast<std::ptrdiff_t>(row) * image.stride() + left * 4, 0,
                    static_cast<std::size_t>(right - left) * 4);
    }
}

media::LayerEncoder::Box boxOf(const PixelBox& box) {
    return {box.left, box.top, box.right, box.bottom};
}

// What every worker reads: made once, never changed while they run.
struct LayerPass {
    const OverlayRenderSharedState& shared;
    const media::VideoFrameTimes& times;
    int width = 0;
    int height = 0;
    media::LayerCodec codec = media::LayerCodec::animation;
    SpeedUnit speedUnit = kDefaultSpeedUnit;
};

// The packets of one stretch of pictures, from a key picture on.
std::vector<media::PacketPtr> encodeStretch(const LayerPass& pass, std::size_t stretch,
                                            OverlayRenderContext& context, BgraImage& picture,
                                            const std::stop_token& stop) {
    const OverlayTimelineView timeline = pass.shared.timelineView();
    const StaticHUD* staticLayer =
        OverlayRenderer::staticLayerFor(pass.shared.staticHUD.get(), pass.width, pass.height);
    media::LayerEncoder encoder(pass.width, pass.height, pass.times.timeBase, pass.codec);
    std::vector<media::PacketPtr> packets;
    picture.clear();
    std::vector<PixelBox> drawn;
    std::vector<media::LayerEncoder::Box> changed;
    const std::size_t count = pass.times.pts.size();
    const std::size_t end = std::min(count, (stretch + 1) * kStretchPictures);
    for (std::size_t k = stretch * kStretchPictures; k < end; ++k) {
        throwIfCancelled(stop);
        // What was drawn last time is cleared (everything else is still transparent) and
        // changes again, with what is drawn now.
        changed.clear();
        for (const PixelBox& box : drawn) {
            clearBox(picture, box);
            changed.push_back(boxOf(box));
        }
        drawn.clear();
        const std::int64_t pts = pass.times.pts[k];
        const double seconds = static_cast<double>(pts) * pass.times.timeBase.num /
                               static_cast<double>(pass.times.timeBase.den);
        if (const auto content = overlayFrameAt(timeline, seconds)) {
            OverlayRenderer::drawOverlay(context, picture.frame(), content->sample,
                                         content->debugInfo, staticLayer, pass.speedUnit, &drawn);
        }
        for (const PixelBox& box : drawn)
            changed.push_back(boxOf(box));
        const std::int64_t duration =
            k + 1 < count ? pass.times.pts[k + 1] - pts : pass.times.lastDuration;
        encoder.encode(picture.data(), picture.stride(), changed, pts,
                       std::max<std::int64_t>(duration, 1), packets);
    }
    encoder.flush(packets);
    return packets;
}

}  // namespace

void writeHudLayer(const OverlayExportJob& job, const std::filesystem::path& output,
                   media::LayerCodec codec, const ProgressCallback& progress, std::stop_token stop,
                   int workers) {
    if (job.asset.pieces.size() != 1)
        throw ExportError::exportFailed("A HUD layer is made of one recording");
    const std::filesystem::path& input = job.asset.pieces.front().path;
    const media::SourceProperties properties = media::describe(job.asset);
    if (!properties.video)
        throw ExportError::missingVideoTrack();
    const media::VideoTrackInfo& video = *properties.video;
    const int rotation = video.preferredTransform.clockwiseDegrees();
    const bool quarterTurned = rotation == 90 || rotation == 270;
    // Upright, as the recording is shown: an editor lays it over the picture it shows.
    const int width = std::max(quarterTurned ? video.naturalHeight : video.naturalWidth, 1);
    const int height = std::max(quarterTurned ? video.naturalWidth : video.naturalHeight, 1);

    const media::VideoFrameTimes times = media::videoFrameTimes(input, stop);
    const OverlayRenderSharedState shared(job, width, height);
    const LayerPass pass{shared, times, width, height, codec, job.overlayOptions.speedUnit};
    const media::LayerEncoder settings(width, height, times.timeBase, codec);
    media::LayerMuxer muxer(output, settings);

    // Workers encode stretches a few ahead of the one the muxer writes next; the muxer writes
    // them in order as they come.
    const std::size_t stretches = (times.pts.size() + kStretchPictures - 1) / kStretchPictures;
    const auto workerCount = static_cast<std::size_t>(std::max(workers, 1));
    const std::size_t ahead = 2 * workerCount;
    std::mutex mutex;
    std::condition_variable_any changed;
    std::vector<std::vector<media::PacketPtr>> done(stretches);
    std::vector<bool> ready(stretches, false);
    std::size_t nextToTake = 0;
    std::size_t nextToWrite = 0;
    std::exception_ptr failure;
    std::stop_source halt;
    std::stop_callback forward(stop, [&halt] { halt.request_stop(); });
    {
        std::vector<std::jthread> threads;
        for (std::size_t w = 0; w < std::min(workerCount, stretches); ++w) {
            threads.emplace_back([&] {
                OverlayRenderContext context;
                auto picture = BgraImage::create(width, height);
                for (;;) {
                    std::size_t stretch = 0;
                    {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, halt.get_token(), [&] {
                            return nextToTake >= stretches || nextToTake < nextToWrite + ahead;
                        });
                        if (halt.stop_requested() || nextToTake >= stretches)
                            return;
                        stretch = nextToTake++;
                    }
                    try {
                        if (!picture)
                            throw ExportError::exportFailed("Cannot allocate the layer's picture");
                        auto packets =
                            encodeStretch(pass, stretch, context, *picture, halt.get_token());
                        const std::lock_guard lock(mutex);
                        done[stretch] = std::move(packets);
                        ready[stretch] = true;
                    } catch (...) {
                        const std::lock_guard lock(mutex);
                        if (!failure)
                            failure = std::current_exception();
                        halt.request_stop();
                    }
                    changed.notify_all();
                }
            });
        }
        for (; nextToWrite < stretches; ++nextToWrite) {
            std::vector<media::PacketPtr> packets;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, halt.get_token(), [&] { return ready[nextToWrite]; });
                if (!ready[nextToWrite])
                    break;
                packets = std::move(done[nextToWrite]);
            }
            changed.notify_all();
            for (media::PacketPtr& packet : packets)
                muxer.write(*packet);
            if (progress) {
                progress(std::min(
                    0.999, static_cast<double>(nextToWrite + 1) / static_cast<double>(stretches)));
            }
        }
        halt.request_stop();
    }
    if (failure)
        std::rethrow_exception(failure);
    throwIfCancelled(stop);
    muxer.finish();
}

}  // namespace skelder
