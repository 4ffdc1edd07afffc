#include "export/output_file.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace skelder {
namespace {

std::string uppercaseUUID() {
    std::random_device device;
    std::mt19937_64 generator((std::uint64_t{device()} << 32) ^ device());
    std::uint64_t high = generator(), low = generator();
    high = (high & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;  // version 4
    low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;    // RFC 4122 variant
    return fmt::format("{:08X}-{:04X}-{:04X}-{:04X}-{:012X}", high >> 32, (high >> 16) & 0xFFFF,
                       high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFFull);
}

[[noreturn]] void throwFileError(const char* what, const std::filesystem::path& a,
                                 const std::filesystem::path& b, int error) {
    throw std::filesystem::filesystem_error(what, a, b,
                                            std::error_code(error, std::generic_category()));
}

}  // namespace

std::filesystem::path makePartialOutputURL(const std::filesystem::path& outputURL) {
    const std::filesystem::path name = outputURL.filename();
    const std::string extension = name.extension().string();
    const std::string temporaryName =
        extension.empty() ? name.string() + "." + uppercaseUUID() + ".partial"
                          : name.stem().string() + "." + uppercaseUUID() + extension;
    return std::filesystem::temp_directory_path() / temporaryName;
}

void removeItemIfPresent(const std::filesystem::path& url) {
    std::error_code error;
    std::filesystem::remove(url, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        throw std::filesystem::filesystem_error("Cannot remove file", url, error);
    }
}

void moveIntoPlace(const std::filesystem::path& temporaryURL,
                   const std::filesystem::path& outputURL) {
    // rename() replaces an existing file atomically, so the old output stays whole until the
    // new one takes its name.
    if (std::rename(temporaryURL.c_str(), outputURL.c_str()) == 0)
        return;
    const int error = errno;
    if (error != EXDEV)
        throwFileError("Cannot move file into place", temporaryURL, outputURL, error);

    // Another file system: copy next to the output first, then rename over it, so a failed
    // copy never leaves a half-written output.
    const std::filesystem::path staging =
        outputURL.parent_path() / ("." + outputURL.filename().string() + ".copying");
    std::error_code copyError;
    std::filesystem::copy_file(temporaryURL, staging,
                               std::filesystem::copy_options::overwrite_existing, copyError);
    if (copyError) {
        std::error_code ignored;
        std::filesystem::remove(staging, ignored);
        throw std::filesystem::filesystem_error("Cannot copy file into place", temporaryURL,
                                                outputURL, copyError);
    }
    if (std::rename(staging.c_str(), outputURL.c_str()) != 0) {
        const int renameError = errno;
        std::error_code ignored;
        std::filesystem::remove(staging, ignored);
        throwFileError("Cannot move file into place", staging, outputURL, renameError);
    }
    removeItemIfPresent(temporaryURL);
}

}  // namespace skelder
