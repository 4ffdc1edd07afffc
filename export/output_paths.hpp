#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace skelder {

// What an export writes: one video per file, one reel of all highlights, one reel of each
// file's best lap, or one video of the HUD alone per file (a layer for editors).
enum class ProcessingMode { full, highlights, bestLaps, hudLayer };

// "full", "highlights", "bestLaps" or "overlay".
std::string processingModeText(ProcessingMode mode);

// Whether the mode writes one reel of all files.
inline bool isReel(ProcessingMode mode) {
    return mode == ProcessingMode::highlights || mode == ProcessingMode::bestLaps;
}

// Where the user chose to write: exactly one file, or one file per input into a folder.
struct SingleFileTarget {
    std::filesystem::path url;
};
struct FolderTarget {
    std::filesystem::path url;
};
// Each output in its input's own folder (the command line's default).
struct BesideInputsTarget {};
using OutputTarget = std::variant<SingleFileTarget, FolderTarget, BesideInputsTarget>;

// The output name of an input: its name without extension + ".full.overlay.mp4",
// ".highlights.mp4", ".bestlaps.mp4" or ".hud.mov".
std::string outputFileName(const std::filesystem::path& inputURL, ProcessingMode mode);

// The proposed reel name: the one input's name for the mode, else "highlights.reel.mp4" or
// "bestlaps.reel.mp4".
std::string defaultReelFileName(const std::vector<std::filesystem::path>& inputURLs,
                                ProcessingMode mode = ProcessingMode::highlights);

// Path keys already handed out during one export run.
using ReservedPaths = std::set<std::string>;

// The first free name in a folder: the output name, then "-2", "-3"… before the extension;
// free means neither reserved nor existing. The chosen path is reserved.
std::filesystem::path uniqueOutputURL(const std::filesystem::path& inputURL, ProcessingMode mode,
                                      const std::filesystem::path& folder, ReservedPaths& reserved);

// The same rule for any file name.
std::filesystem::path uniqueFileURL(const std::filesystem::path& folder, const std::string& name,
                                    ReservedPaths& reserved);

}  // namespace skelder
