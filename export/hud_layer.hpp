#pragma once

#include <filesystem>
#include <stop_token>

#include "export/frame_pipeline.hpp"
#include "export/overlay_export_job.hpp"
#include "media/layer_writer.hpp"

namespace skelder {

// Writes the HUD of a full export's job alone, over transparent pixels, into `output`: one
// picture for every picture of the recording's video, at its presentation time, upright as the
// recording is shown. `workers` threads draw and encode stretches of pictures at once. Throws
// ExportError, media::MediaError and CancellationError.
void writeHudLayer(const OverlayExportJob& job, const std::filesystem::path& output,
                   media::LayerCodec codec, const ProgressCallback& progress, std::stop_token stop,
                   int workers);

}  // namespace skelder
