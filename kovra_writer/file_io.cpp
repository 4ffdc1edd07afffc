#include "kovra_writer/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

namespace skelder::kovra {

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

constexpr std::uint64_t kCopyChunk = 1 << 20;

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throwErrno("cannot create " + path.string());
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void OutputFile::write(std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno("write failed");
        }
        data = data.subspan(static_cast<std::size_t>(n));
        position_ += static_cast<std::uint64_t>(n);
    }
}

void OutputFile::skip(std::uint64_t byteCount) {
    const auto target = static_cast<off_t>(position_ + byteCount);
    if (::lseek(fd_, target, SEEK_SET) != target) {
        throwErrno("seek failed");
    }
    position_ += byteCount;
}

void OutputFile::finish() {
    if (::ftruncate(fd_, static_cast<off_t>(position_)) != 0) {
        throwErrno("truncate failed");
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        throwErrno("close failed");
    }
}

InputFile::InputFile(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        throwErrno("cannot open " + path.string());
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        ::close(fd_);
        throw std::system_error(err, std::generic_category(), "cannot stat " + path.string());
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Bytes InputFile::read(std::uint64_t offset, std::uint64_t byteCount) const {
    if (offset > size_ || size_ - offset < byteCount) {
        throw std::runtime_error("read of " + std::to_string(byteCount) + " bytes at " +
                                 std::to_string(offset) + " passes the end of the file");
    }
    Bytes out(byteCount);
    std::uint64_t done = 0;
    while (done < byteCount) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, byteCount - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throwErrno("read failed");
        }
        if (n == 0) {
            throw std::runtime_error("file ended early while reading");
        }
        done += static_cast<std::uint64_t>(n);
    }
    return out;
}

void InputFile::copyTo(OutputFile& out, std::uint64_t offset, std::uint64_t byteCount) const {
    while (byteCount > 0) {
        const std::uint64_t n = std::min(byteCount, kCopyChunk);
        out.write(read(offset, n));
        offset += n;
        byteCount -= n;
    }
}

}  // namespace skelder::kovra
