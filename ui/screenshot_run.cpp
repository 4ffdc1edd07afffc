#include "ui/screenshot_run.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <chrono>
#include <cstdio>

#include "app/file_list.hpp"
#include "ui/detail_pane_view.hpp"
#include "ui/export_progress_sheet.hpp"
#include "ui/main_window.hpp"
#include "ui/preview_player_widget.hpp"
#include "ui/settings_window.hpp"
#include "ui/sidebar_view.hpp"
#include "ui/skelder_app.hpp"

namespace skelder::ui {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeLimit = std::chrono::minutes(5);
// Time for the preview to show its first picture and for the last repaint.
constexpr int kSettleMilliseconds = 1500;

bool scansFinished(const AppViewModel& model) {
    for (const DroppedFileItem& file : model.droppedFiles()) {
        if (std::holds_alternative<QuickScanPending>(file.quickScanStatus) ||
            std::holds_alternative<QuickScanScanning>(file.quickScanStatus))
            return false;
    }
    return true;
}

bool shownFileReady(SkelderApp& app) {
    AppViewModel& model = app.model();
    if (!scansFinished(model))
        return false;
    const auto shown = app.mainWindow().primaryFilePathKey();
    if (!shown)
        return true;
    if (model.selectedMode() == ProcessingMode::highlights &&
        model.isHighlightAnalysisInProgress(*shown))
        return false;
    // The lap table shows in every mode.
    if (model.isLapAnalysisInProgress(*shown))
        return false;
    const DroppedFileItem* file = model.file(*shown);
    const bool scanned = file && std::holds_alternative<QuickScanDone>(file->quickScanStatus);
    return !scanned || !model.thumbnail(*shown).isNull();
}

bool allThumbnailsMade(const AppViewModel& model) {
    for (const DroppedFileItem& file : model.droppedFiles()) {
        if (std::holds_alternative<QuickScanDone>(file.quickScanStatus) &&
            model.thumbnail(listedKey(file)).isNull())
            return false;
    }
    return true;
}

// The main window with its sheet or alert over it, top centre, the way a sheet hangs from its
// window.
QPixmap windowWithSheet(MainWindow& window) {
    QPixmap picture = window.grab();
    // The preview's picture, fitted into its area with the aspect kept.
    const PreviewPlayerWidget* preview = window.detailPane()->previewPlayer();
    const QImage frame = preview->currentFrameImage();
    if (preview->isVisible() && !frame.isNull()) {
        const QRect area(preview->mapTo(&window, preview->videoRect().topLeft()),
                         preview->videoRect().size());
        QSize fitted = frame.size().scaled(area.size(), Qt::KeepAspectRatio);
        const QRect target(area.x() + (area.width() - fitted.width()) / 2,
                           area.y() + (area.height() - fitted.height()) / 2, fitted.width(),
                           fitted.height());
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, frame);
    }
    for (QWidget* sheet : {static_cast<QWidget*>(window.exportSheet()),
                           static_cast<QWidget*>(window.rejectionAlert())}) {
        if (!sheet->isVisible())
            continue;
        // Offscreen and without a window manager the sheet keeps the size it was first shown
        // with; lay it out for its content now.
        sheet->adjustSize();
        const QPixmap sheetPicture = sheet->grab();
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
        const int x = (picture.width() / picture.devicePixelRatio() - sheetPicture.width()) / 2;
        painter.drawPixmap(std::max(x, 0), 28, sheetPicture);
        break;
    }
    return picture;
}

void finish(const ScreenshotRequest& request, const QPixmap& picture) {
    const QString path = QString::fromStdString(request.output.string());
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "Could not write the screenshot %s\n", path.toLocal8Bit().constData());
        QApplication::exit(1);
        return;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    QApplication::exit(0);
}

}  // namespace

void startScreenshotRun(SkelderApp& app, const ScreenshotRequest& request) {
    AppViewModel& model = app.model();
    model.setSelectedMode(request.mode);
    model.addFiles(request.files);
    MainWindow& window = app.mainWindow();
    window.show();
    const auto& files = model.droppedFiles();
    if (request.selectIndex < 0 || request.selectIndex >= static_cast<int>(files.size())) {
        std::fprintf(stderr, "--select %d: %zu MP4 file(s) are listed\n", request.selectIndex + 1,
                     files.size());
        QTimer::singleShot(0, [] { QApplication::exit(1); });
        return;
    }
    window.sidebar()->setTableSelection(
        {listedKey(files[static_cast<std::size_t>(request.selectIndex)])});
    if (request.settingsWindow)
        app.showSettings();
    if (!request.skippedFiles) {
        // The alert is a window of its own; the picture is of the main window.
        QObject::connect(&model, &AppViewModel::isRejectionAlertPresentedChanged, &window,
                         [&model] {
                             if (model.isRejectionAlertPresented())
                                 model.dismissRejections();
                         });
    }

    const auto started = Clock::now();
    auto* poll = new QTimer(&window);
    poll->setInterval(100);
    // Steps: wait for the shown work, (export and wait for its end,) settle, grab.
    QObject::connect(poll, &QTimer::timeout, &window,
                     [&app, request, poll, started, exportStarted = false]() mutable {
                         AppViewModel& model = app.model();
                         if (Clock::now() - started > kTimeLimit) {
                             std::fprintf(stderr, "The window did not finish its work in time\n");
                             poll->stop();
                             QApplication::exit(1);
                             return;
                         }
                         if (!shownFileReady(app))
                             return;
                         if (request.skippedFiles && !model.skippedFiles().empty() &&
                             !model.isRejectionAlertPresented()) {
                             model.showSkippedFiles();
                             return;
                         }
                         if (request.exportTo) {
                             if (!exportStarted) {
                                 exportStarted = true;
                                 model.startExport();
                                 return;
                             }
                             if (!model.isCompletionAlertPresented())
                                 return;
                         } else if (!allThumbnailsMade(model) &&
                                    Clock::now() - started < std::chrono::seconds(30)) {
                             return;
                         }
                         poll->stop();
                         QTimer::singleShot(
                             kSettleMilliseconds, &app.mainWindow(), [&app, request] {
                                 if (request.settingsWindow) {
                                     finish(request, app.settingsWindow().grab());
                                 } else {
                                     finish(request, windowWithSheet(app.mainWindow()));
                                 }
                             });
                     });
    poll->start();
}

}  // namespace skelder::ui
