// skelder-gui: the desktop application.
//
//   skelder-gui [--appearance system|light|dark] [FILES...]
//                                          opens the window with these recordings listed
//   skelder-gui --screenshot OUT.png [--select N] [--mode full|highlights|bestlaps] [--settings]
//               [--export-to PATH] [--skipped] FILES...
//                                          saves a picture of the window once its work is done

#include <QApplication>
#include <QFileDialog>
#include <QIcon>

#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/appearance.hpp"
#include "ui/main_window.hpp"
#include "ui/media_backend.hpp"
#include "ui/screenshot_run.hpp"
#include "ui/skelder_app.hpp"

namespace {

struct Options {
    std::vector<std::string> files;
    std::string screenshot;
    int select = 1;
    std::string mode = "highlights";
    bool settings = false;
    std::string exportTo;
    bool skipped = false;
    std::string appearance = "system";
};

// Answers the export panel with `target` instead of asking (scripted runs).
skelder::ui::FilePanelService::DialogRunner answerWith(const std::filesystem::path& target) {
    return [target](QFileDialog& dialog) {
        dialog.selectFile(QString::fromStdString(target.string()));
        return true;
    };
}

}  // namespace

int main(int argc, char** argv) {
    skelder::ui::preferFfmpegMediaBackend();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Skelder"));
    QApplication::setOrganizationName(QStringLiteral("Skelder"));
    QApplication::setDesktopFileName(QStringLiteral("skelder"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("skelder")));

    Options options;
    CLI::App cli("Skelder: telemetry HUD videos and highlights reels of track-day recordings",
                 "skelder-gui");
    cli.add_option("files", options.files, "MP4 recordings or folders to list");
    cli.add_option("--screenshot", options.screenshot,
                   "Save a PNG of the window once the shown file is analysed, then quit");
    cli.add_option("--select", options.select, "With --screenshot: show the N-th listed file")
        ->check(CLI::PositiveNumber);
    cli.add_option("--mode", options.mode, "With --screenshot: the processing mode")
        ->check(CLI::IsMember({"full", "highlights", "bestlaps"}));
    cli.add_flag("--settings", options.settings, "With --screenshot: picture the settings window");
    cli.add_option("--export-to", options.exportTo,
                   "With --screenshot: export the selected files there and picture the sheet");
    cli.add_flag("--skipped", options.skipped,
                 "With --screenshot: picture the list of the files that were skipped");
    cli.add_option("--appearance", options.appearance,
                   "The look of the windows: the desktop's, or a light or dark palette")
        ->check(CLI::IsMember({"system", "light", "dark"}));
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return cli.exit(error);
    }

    skelder::ui::applyAppearance(*skelder::ui::appearanceNamed(options.appearance));
    std::vector<std::filesystem::path> files(options.files.begin(), options.files.end());
    const bool scripted = !options.screenshot.empty();
    skelder::ui::SkelderApp app(scripted && !options.exportTo.empty()
                                    ? answerWith(std::filesystem::absolute(options.exportTo))
                                    : skelder::ui::FilePanelService::DialogRunner{});
    if (scripted) {
        skelder::ui::ScreenshotRequest request;
        request.output = options.screenshot;
        request.files = files;
        request.selectIndex = options.select - 1;
        request.mode = options.mode == "full"       ? skelder::ProcessingMode::full
                       : options.mode == "bestlaps" ? skelder::ProcessingMode::bestLaps
                                                    : skelder::ProcessingMode::highlights;
        request.settingsWindow = options.settings;
        request.skippedFiles = options.skipped;
        if (!options.exportTo.empty())
            request.exportTo = options.exportTo;
        skelder::ui::startScreenshotRun(app, request);
    } else {
        if (!files.empty())
            app.model().addFiles(files);
        app.mainWindow().show();
    }
    const int status = QApplication::exec();
    // The window is gone; the work it started stops before the process ends.
    app.shutDown();
    return status;
}
