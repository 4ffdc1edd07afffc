#include "telemetry/input_file.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

#include "telemetry/extraction_error.hpp"

namespace skelder {

bool hasMP4Extension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mp4";
}

std::uint64_t validateInput(const std::filesystem::path& inputURL) {
    if (!hasMP4Extension(inputURL)) {
        throw TelemetryExtractionError::unsupportedInput("Only MP4 files are supported");
    }
    struct stat attributes {};
    if (::stat(inputURL.c_str(), &attributes) != 0) {
        throw std::filesystem::filesystem_error("Cannot read file attributes", inputURL,
                                                std::error_code(errno, std::generic_category()));
    }
    if (!S_ISREG(attributes.st_mode)) {
        throw TelemetryExtractionError::unsupportedInput("Input is not a regular file");
    }
    if (attributes.st_size <= 0) {
        throw TelemetryExtractionError::decodeFailed("Input file is empty");
    }
    return static_cast<std::uint64_t>(attributes.st_size);
}

}  // namespace skelder
