#include "export/output_paths.hpp"

#include "core/path_key.hpp"

namespace skelder {

std::string processingModeText(ProcessingMode mode) {
    return mode == ProcessingMode::full ? "full" : "highlights";
}

std::string outputFileName(const std::filesystem::path& inputURL, ProcessingMode mode) {
    const std::string base = inputURL.stem().string();
    return base + (mode == ProcessingMode::full ? ".full.overlay.mp4" : ".highlights.mp4");
}

std::string defaultReelFileName(const std::vector<std::filesystem::path>& inputURLs) {
    if (inputURLs.size() == 1)
        return outputFileName(inputURLs.front(), ProcessingMode::highlights);
    return "highlights.reel.mp4";
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
