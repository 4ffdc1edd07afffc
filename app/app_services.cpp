#include "app/app_services.hpp"

#include <QSettings>

#include "highlights/session_cache.hpp"
#include "media/asset.hpp"
#include "media/image_generator.hpp"

namespace skelder {
namespace {

// Stands in until the window hands in its panels: the user never confirms one.
class NoFilePanelService final : public FilePanelServicing {
  public:
    std::optional<std::vector<std::filesystem::path>> chooseInputFiles() override {
        return std::nullopt;
    }
    std::optional<OutputTarget> chooseOutputTarget(const std::vector<std::filesystem::path>&,
                                                   ProcessingMode, const std::string&) override {
        return std::nullopt;
    }
};

}  // namespace

ResolvedAppServices resolveAppServices(AppServices services) {
    ResolvedAppServices resolved;
    resolved.telemetryExtractor = services.telemetryExtractor
                                      ? std::move(services.telemetryExtractor)
                                      : std::make_shared<BasicTelemetryExtractionService>();
    resolved.exportService =
        services.exportService ? std::move(services.exportService)
                               : std::make_shared<ExportService>(ParallelExportConfig::defaults());
    resolved.filePanelService = services.filePanelService ? std::move(services.filePanelService)
                                                          : std::make_shared<NoFilePanelService>();
    resolved.telemetrySessionProvider =
        services.telemetrySessionProvider
            ? std::move(services.telemetrySessionProvider)
            : std::make_shared<TelemetrySessionProvider>(resolved.telemetryExtractor,
                                                         std::make_shared<TelemetrySessionCache>());
    resolved.exportWorkflow = std::make_shared<AppExportWorkflow>(resolved.telemetrySessionProvider,
                                                                  resolved.exportService);
    resolved.loadVideoDuration = services.loadVideoDuration
                                     ? std::move(services.loadVideoDuration)
                                     : VideoDurationLoader(&media::loadVideoDurationSeconds);
    resolved.loadPictureOrientation =
        services.loadPictureOrientation ? std::move(services.loadPictureOrientation)
                                        : PictureOrientationLoader(&media::loadPictureOrientation);
    resolved.thumbnailJPEG = services.thumbnailJPEG ? std::move(services.thumbnailJPEG)
                                                    : ThumbnailLoader(&media::thumbnailJPEG);
    resolved.settings = services.settings ? std::move(services.settings)
                                          : std::make_shared<QSettings>("Skelder", "Skelder");
    return resolved;
}

}  // namespace skelder
