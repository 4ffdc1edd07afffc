#pragma once

#include <memory>

#include "app/app_view_model.hpp"
#include "ui/file_panel_service.hpp"

namespace skelder::ui {

class MainWindow;
class SettingsWindow;

// The application: one model for the life of the process, the main window over it and the
// settings window (a child of the main window) bound to its two settings.
class SkelderApp {
  public:
    // `runner` answers the file panels instead of the user (for scripted runs); empty shows
    // them.
    explicit SkelderApp(FilePanelService::DialogRunner runner = {});
    ~SkelderApp();
    SkelderApp(const SkelderApp&) = delete;
    SkelderApp& operator=(const SkelderApp&) = delete;

    AppViewModel& model() { return *model_; }
    MainWindow& mainWindow() { return *mainWindow_; }
    SettingsWindow& settingsWindow() { return *settingsWindow_; }
    void showSettings();

    // After the event loop ended (the window closed): stops every scan, analysis, thumbnail
    // and export, and waits, processing events, until a running export has cancelled and
    // removed its partial file. What is still reading a file then gets a moment as the
    // application goes.
    void shutDown();

  private:
    std::shared_ptr<FilePanelService> filePanels_;
    std::unique_ptr<AppViewModel> model_;
    std::unique_ptr<MainWindow> mainWindow_;
    SettingsWindow* settingsWindow_ = nullptr;  // owned by the main window
};

}  // namespace skelder::ui
