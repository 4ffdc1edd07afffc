#include "export/output_file.hpp"

#include <fmt/format.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "export/temporary_files.hpp"

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

// Flushes a file (or a folder's entries) to the disk, so a crash or power loss after the move
// cannot leave a replaced output empty or half written.
void syncToDisk(const std::filesystem::path& path, bool folder) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (descriptor < 0) {
        if (folder)
            return;  // a folder we cannot open: its entries are the file system's business
        throwFileError("Cannot write file to disk", path, {}, errno);
    }
    const int synced = ::fsync(descriptor);
    const int error = errno;
    ::close(descriptor);
    // Some file systems cannot sync a folder (EINVAL); the file itself must be.
    if (synced != 0 && !folder)
        throwFileError("Cannot write file to disk", path, {}, error);
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
    const std::filesystem::path folder =
        outputURL.has_parent_path() ? outputURL.parent_path() : std::filesystem::path(".");
    syncToDisk(temporaryURL, false);
    // rename() replaces an existing file atomically, so the old output stays whole until the
    // new one takes its name.
    if (std::rename(temporaryURL.c_str(), outputURL.c_str()) == 0) {
        syncToDisk(folder, true);
        return;
    }
    const int error = errno;
    if (error != EXDEV)
        throwFileError("Cannot move file into place", temporaryURL, outputURL, error);

    // Another file system: copy next to the output first, then rename over it, so a failed
    // copy never leaves a half-written output. The staging name is this export's own.
    const std::filesystem::path staging =
        folder / fmt::format(".{}.{}.copying", outputURL.filename().string(), uppercaseUUID());
    const RegisteredTemporaryFile registered(staging);
    const auto removeStaging = [&] {
        std::error_code ignored;
        std::filesystem::remove(staging, ignored);
    };
    std::error_code copyError;
    std::filesystem::copy_file(temporaryURL, staging, copyError);
    if (copyError) {
        removeStaging();
        throw std::filesystem::filesystem_error("Cannot copy file into place", temporaryURL,
                                                outputURL, copyError);
    }
    try {
        syncToDisk(staging, false);
    } catch (...) {
        removeStaging();
        throw;
    }
    if (std::rename(staging.c_str(), outputURL.c_str()) != 0) {
        const int renameError = errno;
        removeStaging();
        throwFileError("Cannot move file into place", staging, outputURL, renameError);
    }
    syncToDisk(folder, true);
    removeItemIfPresent(temporaryURL);
}

}  // namespace skelder
