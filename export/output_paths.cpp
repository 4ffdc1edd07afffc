#include "export/output_paths.hpp"

#include "core/path_key.hpp"

namespace skelder {

std::string processingModeText(ProcessingMode mode) {
    switch (mode) {
        case ProcessingMode::full:
            return "full";
        case ProcessingMode::highlights:
            return "highlights";
        case ProcessingMode::bestLaps:
            return "bestLaps";
        case ProcessingMode::hudLayer:
            return "overlay";
    }
    return {};
}

std::string outputFileName(const std::filesystem::path& inputURL, ProcessingMode mode) {
    const std::string base = inputURL.stem().string();
    switch (mode) {
        case ProcessingMode::full:
            return base + ".full.overlay.mp4";
        case ProcessingMode::highlights:
            return base + ".highlights.mp4";
        case ProcessingMode::bestLaps:
            return base + ".bestlaps.mp4";
        case ProcessingMode::hudLayer:
            return base + ".hud.mov";
    }
    return base;
}

std::string defaultReelFileName(const std::vector<std::filesystem::path>& inputURLs,
                                ProcessingMode mode) {
    if (inputURLs.size() == 1)
        return outputFileName(inputURLs.front(), mode);
    return mode == ProcessingMode::bestLaps ? "bestlaps.reel.mp4" : "highlights.reel.mp4";
}

std::filesystem::path uniqueOutputURL(const std::filesystem::path& inputURL, ProcessingMode mode,
                                      const std::filesystem::path& folder,
                                      ReservedPaths& reserved) {
    return uniqueFileURL(folder, outputFileName(inputURL, mode), reserved);
}

std::filesystem::path uniqueFileURL(const std::filesystem::path& folder,
                                    const std::string& fileName, ReservedPaths& reserved) {
    const std::filesystem::path name = fileName;
    const std::string stem = name.stem().string();
    const std::string extension = name.extension().string();  // ".mp4" or empty
    for (long attempt = 0;; ++attempt) {
        const std::filesystem::path candidate =
            attempt == 0 ? folder / name
                         : folder / (stem + "-" + std::to_string(attempt + 1) + extension);
        std::error_code error;
        const bool exists =
            std::filesystem::exists(std::filesystem::symlink_status(candidate, error));
        const std::string key = pathKey(candidate);
        if (!exists && !reserved.contains(key)) {
            reserved.insert(key);
            return candidate;
        }
    }
}

}  // namespace skelder
