#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "export/output_paths.hpp"

namespace skelder {

// The platform's open and save panels, as the application model uses them. Both run on the
// main thread and block it until the panel closes; an absent result means the user cancelled.
class FilePanelServicing {
public:
    virtual ~FilePanelServicing() = default;

    // Files and folders to add (multiple selection).
    virtual std::optional<std::vector<std::filesystem::path>> chooseInputFiles() = 0;

    // Where an export of these inputs goes: one file for a reel or a single full export, a
    // folder for several full exports.
    virtual std::optional<OutputTarget> chooseOutputTarget(
        const std::vector<std::filesystem::path>& inputURLs, ProcessingMode mode,
        const std::string& defaultReelName) = 0;
};

}  // namespace skelder
