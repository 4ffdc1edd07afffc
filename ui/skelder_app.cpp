#include "ui/skelder_app.hpp"

#include "ui/main_window.hpp"
#include "ui/settings_window.hpp"
#include "ui/shutdown.hpp"

namespace skelder::ui {

SkelderApp::SkelderApp(FilePanelService::DialogRunner runner)
    : filePanels_(std::make_shared<FilePanelService>(nullptr, std::move(runner))) {
    AppServices services;
    services.filePanelService = filePanels_;
    model_ = std::make_unique<AppViewModel>(std::move(services));
    mainWindow_ = std::make_unique<MainWindow>(*model_);
    filePanels_->setParentWindow(mainWindow_.get());

    // A child of the main window: it stays above it and goes with it.
    settingsWindow_ = new SettingsWindow(mainWindow_.get());
    settingsWindow_->setWindowTitle(QStringLiteral("Settings"));
    settingsWindow_->setShownRecording([this]() -> std::optional<std::filesystem::path> {
        const auto key = mainWindow_->primaryFilePathKey();
        const DroppedFileItem* shown = key ? model_->file(*key) : nullptr;
        if (shown == nullptr)
            return std::nullopt;
        return shown->url;
    });
    settingsWindow_->setOverlayTimeOffsetMilliseconds(model_->overlayTimeOffsetMilliseconds());
    settingsWindow_->setOverlayTimingDebugHUDEnabled(model_->isOverlayTimingDebugHUDEnabled());
    settingsWindow_->setSpeedUnit(model_->speedUnit());
    settingsWindow_->setLapHudElements(model_->lapHudElements());
    QObject::connect(settingsWindow_, &SettingsWindow::overlayTimeOffsetMillisecondsChanged,
                     model_.get(), &AppViewModel::setOverlayTimeOffsetMilliseconds);
    QObject::connect(settingsWindow_, &SettingsWindow::overlayTimingDebugHUDEnabledChanged,
                     model_.get(), &AppViewModel::setOverlayTimingDebugHUDEnabled);
    QObject::connect(model_.get(), &AppViewModel::overlayTimeOffsetMillisecondsChanged,
                     settingsWindow_, [this] {
                         settingsWindow_->setOverlayTimeOffsetMilliseconds(
                             model_->overlayTimeOffsetMilliseconds());
                     });
    QObject::connect(model_.get(), &AppViewModel::isOverlayTimingDebugHUDEnabledChanged,
                     settingsWindow_, [this] {
                         settingsWindow_->setOverlayTimingDebugHUDEnabled(
                             model_->isOverlayTimingDebugHUDEnabled());
                     });
    QObject::connect(settingsWindow_, &SettingsWindow::speedUnitChanged, model_.get(),
                     &AppViewModel::setSpeedUnit);
    QObject::connect(model_.get(), &AppViewModel::speedUnitChanged, settingsWindow_,
                     [this] { settingsWindow_->setSpeedUnit(model_->speedUnit()); });
    QObject::connect(settingsWindow_, &SettingsWindow::lapHudElementsChanged, model_.get(),
                     &AppViewModel::setLapHudElements);
    QObject::connect(model_.get(), &AppViewModel::lapHudElementsChanged, settingsWindow_,
                     [this] { settingsWindow_->setLapHudElements(model_->lapHudElements()); });
    QObject::connect(mainWindow_.get(), &MainWindow::settingsRequested, mainWindow_.get(),
                     [this] { showSettings(); });
}

SkelderApp::~SkelderApp() {
    // The windows observe the model: they go first.
    mainWindow_.reset();
    model_.reset();
}

void SkelderApp::shutDown() {
    waitForWorkToStop(*model_);
}

void SkelderApp::showSettings() {
    settingsWindow_->show();
    settingsWindow_->raise();
    settingsWindow_->activateWindow();
}

}  // namespace skelder::ui
