#pragma once

// A minimal MP4 box walker written independently of the writer, so that tests check what the
// writer produced rather than what it believes it produced.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace skelder::kovra::test {

struct Box {
    std::string type;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t headerSize = 0;
    std::uint64_t payload() const { return offset + headerSize; }
    std::uint64_t end() const { return offset + size; }
};

class Mp4Source {
  public:
    explicit Mp4Source(std::vector<std::uint8_t> bytes);
    explicit Mp4Source(const std::filesystem::path& file);  // reads on demand, never whole

    std::uint64_t size() const { return size_; }
    std::vector<std::uint8_t> read(std::uint64_t offset, std::uint64_t count) const;
    std::uint64_t be(std::uint64_t offset, int byteCount) const;  // unsigned big-endian

    // Boxes filling [start, end); throws std::runtime_error on a size that does not fit.
    std::vector<Box> boxes(std::uint64_t start, std::uint64_t end) const;
    std::vector<Box> topLevel() const { return boxes(0, size_); }
    std::vector<Box> children(const Box& parent, std::uint64_t skip = 0) const {
        return boxes(parent.payload() + skip, parent.end());
    }
    // First box along a path of types from the top level, e.g. {"moov", "trak", "mdia"}.
    std::optional<Box> find(const std::vector<std::string>& path) const;
    std::optional<Box> child(const Box& parent, const std::string& type) const;

  private:
    std::vector<std::uint8_t> bytes_;
    std::filesystem::path file_;
    std::uint64_t size_ = 0;
};

std::vector<std::string> types(const std::vector<Box>& boxes);

}  // namespace skelder::kovra::test
