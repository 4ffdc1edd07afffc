#include "telemetry/input_file.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

#include "telemetry/extraction_error.hpp"

namespace skelder {
namespace {


[[noreturn]] void readFailed(int error) {
    throw TelemetryExtractionError::decodeFailed("Failed to read file: " +
                                                 std::generic_category().message(error));
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

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

FileBuffer::FileBuffer(FileBuffer&& other) noexcept
    : mapped_(other.mapped_), mappedSize_(other.mappedSize_), copy_(std::move(other.copy_)) {
    other.mapped_ = nullptr;
    other.mappedSize_ = 0;
}

FileBuffer& FileBuffer::operator=(FileBuffer&& other) noexcept {
    if (this != &other) {
        release();
        mapped_ = other.mapped_;
        mappedSize_ = other.mappedSize_;
        copy_ = std::move(other.copy_);
        other.mapped_ = nullptr;
        other.mappedSize_ = 0;
    }
    return *this;
}

FileBuffer::~FileBuffer() {
    release();
}

void FileBuffer::release() noexcept {
    if (mapped_ != nullptr)
        ::munmap(mapped_, mappedSize_);
    mapped_ = nullptr;
    mappedSize_ = 0;
}

ByteSpan FileBuffer::bytes() const noexcept {
    if (mapped_ != nullptr)
        return {static_cast<const std::uint8_t*>(mapped_), mappedSize_};
    return copy_;
}

FileBuffer FileBuffer::readWholeFile(const std::filesystem::path& inputURL) {
    FileDescriptor file(::open(inputURL.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        readFailed(errno);
    struct stat attributes {};
    if (::fstat(file.get(), &attributes) != 0)
        readFailed(errno);

    FileBuffer buffer;
    const auto size = static_cast<std::size_t>(std::max<off_t>(attributes.st_size, 0));
    if (size > 0) {
        void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.get(), 0);
        if (mapped != MAP_FAILED) {
            buffer.mapped_ = mapped;
            buffer.mappedSize_ = size;
            return buffer;
        }
    }
    // Some files cannot be mapped (pipes posing as files, some network file systems).
    std::vector<std::uint8_t> bytes(size);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(std::max<std::size_t>(bytes.size() * 2, 65536));
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            readFailed(errno);
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    buffer.copy_ = std::move(bytes);
    return buffer;
}

}  // namespace skelder
