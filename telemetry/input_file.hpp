#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "telemetry/binary_reader.hpp"

namespace skelder {

// Whether a file name ends in ".mp4", in any case.
bool hasMP4Extension(const std::filesystem::path& path);

// Checks the extension, the regular-file flag and the size; returns the size in bytes.
// A failing attribute query throws std::filesystem::filesystem_error unchanged.
std::uint64_t validateInput(const std::filesystem::path& inputURL);

// The whole file, memory-mapped read-only (read into memory when mapping fails).
class FileBuffer {
  public:
    FileBuffer() = default;
    FileBuffer(FileBuffer&& other) noexcept;
    FileBuffer& operator=(FileBuffer&& other) noexcept;
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;
    ~FileBuffer();

    ByteSpan bytes() const noexcept;
    bool isMapped() const noexcept { return mapped_ != nullptr; }

    // Throws TelemetryExtractionError "Failed to read file: " + the system's description.
    static FileBuffer readWholeFile(const std::filesystem::path& inputURL);

  private:
    void release() noexcept;

    void* mapped_ = nullptr;
    std::size_t mappedSize_ = 0;
    std::vector<std::uint8_t> copy_;
};

}  // namespace skelder
