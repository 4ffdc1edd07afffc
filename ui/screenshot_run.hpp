#pragma once

#include <QString>

#include <filesystem>
#include <optional>
#include <vector>

#include "export/output_paths.hpp"

namespace skelder::ui {

class SkelderApp;

// A scripted run of the window for reviewers and the README: add the files, show one, wait
// until the work it shows is done, optionally export, then save a picture and quit.
struct ScreenshotRequest {
    std::filesystem::path output;  // PNG
    std::vector<std::filesystem::path> files;
    int selectIndex = 0;  // the listed file to show (list order, from 0)
    ProcessingMode mode = ProcessingMode::highlights;
    bool settingsWindow = false;                    // picture the settings window instead
    std::optional<std::filesystem::path> exportTo;  // export there and picture the sheet
    bool skippedFiles = false;  // picture the list of skipped files over the window
};

// Starts the run on the event loop; it ends the loop with 0 when the picture was saved and 1
// (with a message on stderr) otherwise.
void startScreenshotRun(SkelderApp& app, const ScreenshotRequest& request);

}  // namespace skelder::ui
