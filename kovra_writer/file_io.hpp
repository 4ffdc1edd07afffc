#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "kovra_writer/byte_writer.hpp"

namespace skelder::kovra {

// Sequential writer that can skip ranges, leaving holes: skipped bytes read as zeros but take
// no disk space, so multi-GiB test files stay cheap. Throws std::system_error on failures.
class OutputFile {
  public:
    explicit OutputFile(const std::filesystem::path& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const std::uint8_t> data);
    void skip(std::uint64_t byteCount);
    std::uint64_t position() const noexcept { return position_; }
    // Sets the final size (a trailing skip needs it) and closes.
    void finish();

  private:
    int fd_ = -1;
    std::uint64_t position_ = 0;
};

// Positioned reads from an existing file. Throws std::system_error on failures and
// std::runtime_error on reads past the end.
class InputFile {
  public:
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::uint64_t size() const noexcept { return size_; }
    Bytes read(std::uint64_t offset, std::uint64_t byteCount) const;
    // Streams [offset, offset + byteCount) into `out` in bounded chunks.
    void copyTo(OutputFile& out, std::uint64_t offset, std::uint64_t byteCount) const;

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace skelder::kovra
