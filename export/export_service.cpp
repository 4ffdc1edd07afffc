#include "export/export_service.hpp"

#include <cmath>
#include <memory>
#include <mutex>
#include <thread>

#include "core/cancellation.hpp"
#include "export/audio_pump.hpp"
#include "export/export_error.hpp"
#include "export/hud_layer.hpp"
#include "export/output_file.hpp"
#include "export/render_workers.hpp"
#include "export/temporary_files.hpp"
#include "export/video_output_settings.hpp"
#include "media/audio_reader.hpp"
#include "media/media_writer.hpp"
#include "media/memory_budget.hpp"
#include "media/video_reader.hpp"

namespace skelder {
namespace {

using media::ReaderStatus;
using media::WriterStatus;

}  // namespace

ExportReport ExportService::exportOverlayVideo(const OverlayExportJob& job,
                                               const std::filesystem::path& outputURL,
                                               const ProgressCallback& progress,
                                               std::stop_token stop) {
    return throughTemporaryFile(outputURL, progress, stop,
                                [&](const std::filesystem::path& temporary) {
                                    return renderPass(job, temporary, progress, stop);
                                });
}

ExportReport ExportService::exportHudLayer(const OverlayExportJob& job,
                                           const std::filesystem::path& outputURL,
                                           media::LayerCodec codec,
                                           const ProgressCallback& progress, std::stop_token stop) {
    return throughTemporaryFile(
        outputURL, progress, stop, [&](const std::filesystem::path& temporary) {
            writeHudLayer(job, temporary, codec, progress, stop,
                          static_cast<int>(std::thread::hardware_concurrency()));
            return ExportReport{};
        });
}

ExportReport ExportService::throughTemporaryFile(
    const std::filesystem::path& outputURL, const ProgressCallback& progress, std::stop_token stop,
    const std::function<ExportReport(const std::filesystem::path&)>& pass) {
    const std::filesystem::path temporary = makePartialOutputURL(outputURL);
    const RegisteredTemporaryFile registered(temporary);
    removeItemIfPresent(temporary);
    if (progress)
        progress(0.0);

    const auto failWith = [&](std::exception_ptr error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        // Cancelling makes readers and the writer fail too; the cancel is what happened.
        if (stop.stop_requested())
            throw CancellationError();
        std::rethrow_exception(error);
    };
    ExportReport report;
    try {
        report = pass(temporary);
    } catch (...) {
        failWith(std::current_exception());
    }
    try {
        throwIfCancelled(stop);
        moveIntoPlace(temporary, outputURL);
    } catch (...) {
        failWith(std::current_exception());
    }
    if (progress)
        progress(1.0);
    return report;
}

ExportReport ExportService::exportHighlightsReel(const std::vector<HighlightsReelInput>& inputs,
                                                 const HighlightsOverlayOptions& overlayOptions,
                                                 const std::filesystem::path& outputURL,
                                                 const ProgressCallback& progress,
                                                 std::stop_token stop) {
    return exportOverlayVideo(makeHighlightsReelJob(inputs, overlayOptions, stop), outputURL,
                              progress, stop);
}

ExportReport ExportService::renderPass(const OverlayExportJob& job,
                                       const std::filesystem::path& temporary,
                                       const ProgressCallback& progress, std::stop_token stop) {
    // Tracks and their properties.
    const media::SourceProperties properties = media::describe(job.asset);
    if (!properties.video)
        throw ExportError::missingVideoTrack();
    const media::VideoTrackInfo& video = *properties.video;
    const int width = std::max(video.naturalWidth, 1);
    const int height = std::max(video.naturalHeight, 1);

    media::VideoReader videoReader(job.asset, width, height);
    // The HUD is drawn into the decoder's own pictures once it lets go of them, saving a copy
    // of every frame.
    videoReader.holdBackDecodedPictures(media::decodedPicturesHeldFor(width, height));
    media::MediaWriter writer(temporary);
    const VideoOutputSettings settings =
        videoOutputSettings(width, height, video.nominalFrameRate, video.estimatedDataRate);
    if (!writer.addVideoInput({width, height, settings.averageBitRate, video.preferredTransform,
                               video.color, video.nominalFrameRate, encoderPreset_})) {
        throw ExportError::exportFailed("Failed to configure video writer input");
    }

    // Audio passes through when there is any. Audio an MPEG-4 file cannot hold leaves the
    // export without sound rather than failed, and the report says so; a reader that cannot
    // start is a failure.
    ExportReport report;
    std::unique_ptr<media::AudioReader> audioReader;
    if (properties.hasAudio) {
        auto reader = std::make_unique<media::AudioReader>(job.asset);
        if (!reader->startReading()) {
            throw ExportError::exportFailed("Failed to start audio reader",
                                            reader->errorDescription());
        }
        if (const auto refusal = writer.audioCopyRefusal(reader->format())) {
            report.notices.push_back("The audio was left out: " + *refusal + ".");
        } else if (writer.addAudioInput(reader->format())) {
            audioReader = std::move(reader);
        } else {
            report.notices.push_back("The audio was left out: " + writer.errorDescription() + ".");
        }
    }

    // On HDR pictures the HUD's white is the reference white of SDR graphics, not the peak.
    const HudSignal hudSignal = video.color.transfer == AVCOL_TRC_SMPTE2084      ? HudSignal::pq
                                : video.color.transfer == AVCOL_TRC_ARIB_STD_B67 ? HudSignal::hlg
                                                                                 : HudSignal::sdr;
    const OverlayRenderSharedState shared(job, width, height,
                                          video.preferredTransform.orientation(), hudSignal);
    RenderWorkerPool pool(media::renderWorkersFor(width, height, config_.effectiveWorkerCount()),
                          shared,
                          [&writer](media::VideoFrame& frame) { writer.prepareVideoFrame(frame); });

    if (!writer.startWriting()) {
        throw ExportError::exportFailed("Failed to start writer", writer.errorDescription());
    }
    if (!videoReader.startReading()) {
        throw ExportError::exportFailed("Failed to start video reader",
                                        videoReader.errorDescription());
    }

    // Cancelling the caller stops the reader(s) and the writer at once; the loops notice at
    // their next check.
    const std::stop_callback onCancel(stop, [&] {
        videoReader.cancelReading();
        if (audioReader)
            audioReader->cancelReading();
        writer.cancelWriting();
    });

    std::optional<AudioPump> audioPump;
    if (audioReader)
        audioPump.emplace(*audioReader, writer, stop);

    const FramePipelineSettings pipeline{config_.progressUpdateInterval,
                                         std::max(job.duration.seconds(), 0.001)};
    WriterVideoInput encoder(writer);
    try {
        runFramePipeline([&] { return videoReader.copyNextFrame(); }, encoder, pool, pipeline,
                         progress, stop);
    } catch (...) {
        if (audioPump)
            audioPump->cancelAndWait();
        throw;
    }

    if (videoReader.status() == ReaderStatus::failed) {
        throw ExportError::exportFailed("Video reader failed", videoReader.errorDescription());
    }
    writer.markVideoFinished();
    if (audioPump)
        audioPump->wait();
    if (audioReader && audioReader->status() == ReaderStatus::failed) {
        throw ExportError::exportFailed("Audio reader failed", audioReader->errorDescription());
    }
    writer.finishWriting();
    if (writer.status() == WriterStatus::failed) {
        // The writer's own description when it gave one, as the platform's completion does.
        const std::string description = writer.errorDescription();
        if (!description.empty())
            throw ExportError::exportFailed(description);
        throw ExportError::exportFailed("Writer failed");
    }
    throwIfCancelled(stop);
    return report;
}

}  // namespace skelder
