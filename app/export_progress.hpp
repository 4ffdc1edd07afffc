#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "export/output_paths.hpp"

namespace skelder {

enum class ExportFileState { waiting, working, done, failed };

// One input file of a running export as the export sheet lists it.
struct ExportFileProgress {
    std::string name;  // the last path component
    double fraction = 0;
    ExportFileState state = ExportFileState::waiting;
    // What became of the file: "Included 3 of 4 highlight(s)", or why it was skipped.
    std::string note;

    friend bool operator==(const ExportFileProgress&, const ExportFileProgress&) = default;
};

// What the export is doing now.
enum class ExportStep {
    starting,
    readingTelemetry,
    encodingFile,
    readingHighlights,
    findingLaps,  // a best laps reel reads its files
    encodingReel,
};

struct ExportProgressSnapshot {
    ProcessingMode mode = ProcessingMode::full;
    std::vector<ExportFileProgress> files;
    ExportStep step = ExportStep::starting;
    // Index into `files` of the file being worked on, if any.
    std::optional<std::size_t> currentFile;
    // Estimated from the pace so far, once there is enough of it.
    std::optional<double> secondsLeft;

    friend bool operator==(const ExportProgressSnapshot&, const ExportProgressSnapshot&) = default;
};

// Follows one export request through the workflow's reports (status lines, overall progress,
// active file, the reel's preview lines) and keeps a per-file picture of it: which file is
// being worked on, how far each one is, which were skipped and why, the current step and the
// time left. The workflow reports files in input order; a full export gives each file an equal
// band of the overall progress, a reel reads the files in the band from 5 % to 40 % and then
// encodes from 45 % to 100 %.
class ExportProgressTracker {
  public:
    using Clock = std::chrono::steady_clock;

    void start(ProcessingMode mode, std::vector<std::string> fileNames, Clock::time_point now);
    void activeFile(const std::optional<std::string>& name);
    void progress(double fraction, Clock::time_point now);
    void status(const std::string& text, Clock::time_point now);
    void previewLines(const std::vector<std::string>& lines);

    const ExportProgressSnapshot& snapshot() const { return snapshot_; }

  private:
    void beginPhase(double fromFraction, Clock::time_point now);
    void settleFilesBefore(std::size_t index);
    void updateFractions();
    void updateTimeLeft(Clock::time_point now);

    ProcessingMode mode_ = ProcessingMode::full;
    ExportProgressSnapshot snapshot_;
    double progress_ = 0;
    // The time-left estimate follows the pace of the current phase (a reel's encoding runs at
    // another pace than the reading of its files).
    Clock::time_point phaseStart_;
    double phaseFrom_ = 0;
};

}  // namespace skelder
