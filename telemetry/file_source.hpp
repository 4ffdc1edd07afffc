#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>

#include "telemetry/byte_source.hpp"

namespace skelder {

// What follows "Failed to read file: " when a file is cut short or rewritten during a read.
inline constexpr const char* kFileChangedDescription = "the file changed while it was being read";

// A recording opened for positional reads of the ranges the extraction needs. Nothing is
// mapped, so a file that shrinks, loses its medium or fails to read while it is open becomes
// a read error of this one extraction, never a signal that ends the process.
class FileSource : public ByteSource {
  public:
    // Opens the file; throws TelemetryExtractionError "Failed to read file: " + the system's
    // description when it cannot.
    explicit FileSource(const std::filesystem::path& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::int64_t size() const override { return size_; }
    // A file that has become shorter than the range fails with "the file changed while it was
    // being read"; a failing read with the system's description.
    void read(std::int64_t offset, std::span<std::uint8_t> destination) override;
    // Fails with "the file changed while it was being read" when the file's size or
    // modification time is no longer what they were when it was opened.
    void confirmUnchanged() override;

  protected:
    // One positional read, as pread(2) does it; tests put faults here.
    virtual ssize_t readSome(int fd, std::uint8_t* buffer, std::size_t count, off_t offset);

  private:
    int fd_ = -1;
    std::int64_t size_ = 0;
    timespec modified_{};
};

}  // namespace skelder
