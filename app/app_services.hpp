#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/file_panel_servicing.hpp"
#include "export/app_export_workflow.hpp"
#include "export/export_service.hpp"
#include "highlights/session_provider.hpp"
#include "telemetry/extraction_service.hpp"
#include "telemetry/quick_scan.hpp"

class QSettings;

namespace skelder {

// The preview picture of a file at a time in seconds, as JPEG data; nothing when there is none.
using ThumbnailLoader =
    std::function<std::optional<std::vector<std::uint8_t>>(const std::filesystem::path&, double)>;

// The services the model works through. Every member may be left empty; the model fills in
// the defaults: the basic extractor, an ExportService with the parallel configuration of this
// machine's cores, a session provider over the extractor and a cache of 24, the media
// layer's duration and orientation loaders and thumbnail maker, and the user's settings
// (organisation and application "Skelder"). Without a file panel service every panel counts as
// cancelled; the window hands in its own.
struct AppServices {
    std::shared_ptr<const TelemetryExtractionService> telemetryExtractor;
    std::shared_ptr<ExportServicing> exportService;
    std::shared_ptr<FilePanelServicing> filePanelService;
    std::shared_ptr<const TelemetrySessionProviding> telemetrySessionProvider;
    VideoDurationLoader loadVideoDuration;
    PictureOrientationLoader loadPictureOrientation;
    ThumbnailLoader thumbnailJPEG;
    std::shared_ptr<QSettings> settings;
};

// The services with every empty member replaced by its default, and the export workflow over
// the provider and the export service.
struct ResolvedAppServices {
    std::shared_ptr<const TelemetryExtractionService> telemetryExtractor;
    std::shared_ptr<ExportServicing> exportService;
    std::shared_ptr<FilePanelServicing> filePanelService;
    std::shared_ptr<const TelemetrySessionProviding> telemetrySessionProvider;
    std::shared_ptr<const AppExportWorkflow> exportWorkflow;
    VideoDurationLoader loadVideoDuration;
    PictureOrientationLoader loadPictureOrientation;
    ThumbnailLoader thumbnailJPEG;
    std::shared_ptr<QSettings> settings;
};

ResolvedAppServices resolveAppServices(AppServices services);

}  // namespace skelder
