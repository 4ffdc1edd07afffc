#include "telemetry/file_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include "telemetry/extraction_error.hpp"

namespace skelder {
namespace {

[[noreturn]] void systemReadFailed(int error) {
    throw TelemetryExtractionError::readFailed(std::generic_category().message(error));
}

struct stat attributesOf(int fd) {
    struct stat attributes {};
    if (::fstat(fd, &attributes) != 0)
        systemReadFailed(errno);
    return attributes;
}

}  // namespace

FileSource::FileSource(const std::filesystem::path& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0)
        systemReadFailed(errno);
    try {
        const struct stat attributes = attributesOf(fd_);
        size_ = std::max<std::int64_t>(attributes.st_size, 0);
        modified_ = attributes.st_mtim;
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

FileSource::~FileSource() {
    ::close(fd_);
}

ssize_t FileSource::readSome(int fd, std::uint8_t* buffer, std::size_t count, off_t offset) {
    return ::pread(fd, buffer, count, offset);
}

void FileSource::read(std::int64_t offset, std::span<std::uint8_t> destination) {
    std::size_t filled = 0;
    while (filled < destination.size()) {
        // Linux moves at most about 2 GiB per call; the loop takes care of the rest.
        const std::size_t wanted = std::min<std::size_t>(destination.size() - filled, INT_MAX);
        const ssize_t got =
            readSome(fd_, destination.data() + filled, wanted,
                     static_cast<off_t>(offset + static_cast<std::int64_t>(filled)));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            systemReadFailed(errno);
        }
        // The range lay within the file when it was opened; the end came early, so the file
        // was cut short under us.
        if (got == 0)
            throw TelemetryExtractionError::readFailed(kFileChangedDescription);
        filled += static_cast<std::size_t>(got);
    }
}

void FileSource::confirmUnchanged() {
    const struct stat now = attributesOf(fd_);
    if (now.st_size != size_ || now.st_mtim.tv_sec != modified_.tv_sec ||
        now.st_mtim.tv_nsec != modified_.tv_nsec) {
        throw TelemetryExtractionError::readFailed(kFileChangedDescription);
    }
}

}  // namespace skelder
