#include "app/export_progress.hpp"

#include <algorithm>
#include <cmath>

namespace skelder {
namespace {

// The reel flow's bands: reading the files, then encoding.
constexpr double kReelReadingFrom = 0.05;
constexpr double kReelReadingSpan = 0.35;
constexpr double kReelEncodingFrom = 0.45;
// No estimate before this much time and progress: the first moments say little of the pace.
constexpr double kSecondsBeforeEstimate = 2;
constexpr double kProgressBeforeEstimate = 0.02;

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void ExportProgressTracker::start(ProcessingMode mode, std::vector<std::string> fileNames,
                                  Clock::time_point now) {
    mode_ = mode;
    snapshot_ = {};
    snapshot_.mode = mode;
    for (std::string& name : fileNames)
        snapshot_.files.push_back({std::move(name), 0, ExportFileState::waiting, {}});
    progress_ = 0;
    beginPhase(0, now);
}

void ExportProgressTracker::beginPhase(double fromFraction, Clock::time_point now) {
    phaseStart_ = now;
    phaseFrom_ = fromFraction;
    snapshot_.secondsLeft.reset();
}

void ExportProgressTracker::settleFilesBefore(std::size_t index) {
    for (std::size_t i = 0; i < index && i < snapshot_.files.size(); ++i) {
        ExportFileProgress& file = snapshot_.files[i];
        if (file.state != ExportFileState::failed) {
            file.state = ExportFileState::done;
            file.fraction = 1;
        }
    }
}

void ExportProgressTracker::activeFile(const std::optional<std::string>& name) {
    if (!name) {
        // A reel has read every file.
        settleFilesBefore(snapshot_.files.size());
        snapshot_.currentFile.reset();
        return;
    }
    // Files come in input order: the next file of that name from the current one on.
    const std::size_t from = snapshot_.currentFile.value_or(0);
    for (std::size_t i = from; i < snapshot_.files.size(); ++i) {
        if (snapshot_.files[i].name == *name) {
            settleFilesBefore(i);
            snapshot_.currentFile = i;
            if (snapshot_.files[i].state == ExportFileState::waiting)
                snapshot_.files[i].state = ExportFileState::working;
            updateFractions();
            return;
        }
    }
}

void ExportProgressTracker::progress(double fraction, Clock::time_point now) {
    if (!std::isfinite(fraction))
        return;
    progress_ = std::clamp(fraction, 0.0, 1.0);
    updateFractions();
    updateTimeLeft(now);
}

void ExportProgressTracker::updateFractions() {
    if (!snapshot_.currentFile)
        return;
    const std::size_t i = *snapshot_.currentFile;
    ExportFileProgress& file = snapshot_.files[i];
    if (file.state != ExportFileState::working)
        return;
    const auto n = static_cast<double>(snapshot_.files.size());
    const double withinBand =
        !isReel(mode_)
            ? progress_ * n - static_cast<double>(i)
            : (progress_ - kReelReadingFrom) / kReelReadingSpan * n - static_cast<double>(i);
    file.fraction = std::clamp(withinBand, file.fraction, 1.0);
}

void ExportProgressTracker::updateTimeLeft(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - phaseStart_).count();
    const double done = (progress_ - phaseFrom_) / (1 - phaseFrom_);
    // A full export is paced over all its files; a reel only once it encodes.
    const bool paced = !isReel(mode_) || snapshot_.step == ExportStep::encodingReel;
    if (!paced || seconds < kSecondsBeforeEstimate || done < kProgressBeforeEstimate) {
        snapshot_.secondsLeft.reset();
        return;
    }
    snapshot_.secondsLeft = std::max(seconds * (1 - done) / done, 0.0);
}

void ExportProgressTracker::status(const std::string& text, Clock::time_point now) {
    const auto current = [&]() -> ExportFileProgress* {
        return snapshot_.currentFile ? &snapshot_.files[*snapshot_.currentFile] : nullptr;
    };
    if (startsWith(text, "Exporting highlights reel") ||
        startsWith(text, "Exporting best laps reel")) {
        if (snapshot_.step != ExportStep::encodingReel) {
            snapshot_.step = ExportStep::encodingReel;
            beginPhase(kReelEncodingFrom, now);
        }
    } else if (startsWith(text, "Exporting ")) {
        snapshot_.step = ExportStep::encodingFile;
    } else if (startsWith(text, "Processing ")) {
        snapshot_.step = ExportStep::readingTelemetry;
    } else if (startsWith(text, "Preparing ")) {
        snapshot_.step = mode_ == ProcessingMode::bestLaps ? ExportStep::findingLaps
                                                           : ExportStep::readingHighlights;
    } else if (startsWith(text, "Exported: ")) {
        if (ExportFileProgress* file = current()) {
            file->state = ExportFileState::done;
            file->fraction = 1;
        }
    } else if (ExportFileProgress* file = current();
               file != nullptr && startsWith(text, "Skipped " + file->name + ": ")) {
        file->state = ExportFileState::failed;
        file->note = text.substr(("Skipped " + file->name + ": ").size());
    }
}

void ExportProgressTracker::previewLines(const std::vector<std::string>& lines) {
    // "[name]" then "Included k of m highlight(s)" (or "Best lap 3 of 5: 1:28.840"), or
    // "[name] Skipped: why", per file read.
    std::vector<bool> described(snapshot_.files.size(), false);
    const auto fileNamed = [&](const std::string& name) -> ExportFileProgress* {
        for (std::size_t i = 0; i < snapshot_.files.size(); ++i) {
            if (!described[i] && snapshot_.files[i].name == name) {
                described[i] = true;
                return &snapshot_.files[i];
            }
        }
        return nullptr;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!startsWith(line, "["))
            continue;
        const std::size_t close = line.find("]");
        if (close == std::string::npos)
            continue;
        ExportFileProgress* file = fileNamed(line.substr(1, close - 1));
        if (file == nullptr)
            continue;
        const std::string rest = line.substr(close + 1);
        if (startsWith(rest, " Skipped: ")) {
            file->state = ExportFileState::failed;
            file->note = rest.substr(std::string(" Skipped: ").size());
        } else if (i + 1 < lines.size()) {
            file->note = lines[i + 1];
        }
    }
}

}  // namespace skelder
