#pragma once

#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "export/frame_pipeline.hpp"
#include "export/highlights_reel.hpp"
#include "export/overlay_export_job.hpp"
#include "export/parallel_export_config.hpp"
#include "media/layer_writer.hpp"

namespace skelder {

// What a finished export has to tell besides the file it wrote.
struct ExportReport {
    // What the user should know about the output, one sentence each (e.g. that the audio was
    // left out, and why).
    std::vector<std::string> notices;
};

// Writes export jobs to MP4 files. Progress is reported on the thread that runs the export;
// callers that need it elsewhere (a UI thread) forward it.
class ExportServicing {
  public:
    virtual ~ExportServicing() = default;

    // Decodes the job's video, draws the HUD on every frame, encodes it (H.264 High) with the
    // audio copied through, and puts the finished file at outputURL. Reports 0.0 first, then
    // [0, 0.999] while rendering, then 1.0 once the file is in place. Throws ExportError,
    // media::MediaError or std::filesystem::filesystem_error for failures, and
    // CancellationError when `stop` fires; in every case the temporary file is removed and an
    // existing output is left untouched.
    virtual ExportReport exportOverlayVideo(const OverlayExportJob& job,
                                            const std::filesystem::path& outputURL,
                                            const ProgressCallback& progress,
                                            std::stop_token stop) = 0;

    // One reel of the inputs' segments (makeHighlightsReelJob), exported like any job.
    virtual ExportReport exportHighlightsReel(const std::vector<HighlightsReelInput>& inputs,
                                              const HighlightsOverlayOptions& overlayOptions,
                                              const std::filesystem::path& outputURL,
                                              const ProgressCallback& progress,
                                              std::stop_token stop) = 0;

    // The HUD of a full export's job alone over transparent pixels (writeHudLayer), put in
    // place like any export.
    virtual ExportReport exportHudLayer(const OverlayExportJob& job,
                                        const std::filesystem::path& outputURL,
                                        media::LayerCodec codec, const ProgressCallback& progress,
                                        std::stop_token stop) = 0;
};

class ExportService : public ExportServicing {
  public:
    explicit ExportService(ParallelExportConfig config = ParallelExportConfig::defaults(),
                           std::string encoderPreset = "veryfast")
        : config_(config), encoderPreset_(std::move(encoderPreset)) {}

    ExportReport exportOverlayVideo(const OverlayExportJob& job,
                                    const std::filesystem::path& outputURL,
                                    const ProgressCallback& progress,
                                    std::stop_token stop) override;
    ExportReport exportHighlightsReel(const std::vector<HighlightsReelInput>& inputs,
                                      const HighlightsOverlayOptions& overlayOptions,
                                      const std::filesystem::path& outputURL,
                                      const ProgressCallback& progress,
                                      std::stop_token stop) override;
    ExportReport exportHudLayer(const OverlayExportJob& job, const std::filesystem::path& outputURL,
                                media::LayerCodec codec, const ProgressCallback& progress,
                                std::stop_token stop) override;

    const ParallelExportConfig& parallelConfig() const { return config_; }

  private:
    // Runs `pass` into a temporary file and moves it into place; on any failure or a cancel the
    // temporary file is removed and an existing output left untouched.
    ExportReport throughTemporaryFile(
        const std::filesystem::path& outputURL, const ProgressCallback& progress,
        std::stop_token stop,
        const std::function<ExportReport(const std::filesystem::path&)>& pass);

    // Writes the job into `temporary`; throws like exportOverlayVideo.
    ExportReport renderPass(const OverlayExportJob& job, const std::filesystem::path& temporary,
                            const ProgressCallback& progress, std::stop_token stop);

    ParallelExportConfig config_;
    std::string encoderPreset_;
};

}  // namespace skelder
