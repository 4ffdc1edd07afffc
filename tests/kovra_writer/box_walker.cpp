#include "box_walker.hpp"

#include <fstream>
#include <stdexcept>

namespace skelder::kovra::test {

Mp4Source::Mp4Source(std::vector<std::uint8_t> bytes)
    : bytes_(std::move(bytes)), size_(bytes_.size()) {}

Mp4Source::Mp4Source(const std::filesystem::path& file)
    : file_(file), size_(std::filesystem::file_size(file)) {}

std::vector<std::uint8_t> Mp4Source::read(std::uint64_t offset, std::uint64_t count) const {
    if (offset > size_ || size_ - offset < count)
        throw std::runtime_error("read past the end");
    if (file_.empty()) {
        return {bytes_.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes_.begin() + static_cast<std::ptrdiff_t>(offset + count)};
    }
    std::ifstream in(file_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<std::uint8_t> out(count);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    if (!in)
        throw std::runtime_error("file read failed");
    return out;
}

std::uint64_t Mp4Source::be(std::uint64_t offset, int byteCount) const {
    std::uint64_t v = 0;
    for (std::uint8_t b : read(offset, static_cast<std::uint64_t>(byteCount)))
        v = v << 8 | b;
    return v;
}

std::vector<Box> Mp4Source::boxes(std::uint64_t start, std::uint64_t end) const {
    std::vector<Box> out;
    for (std::uint64_t p = start; p + 8 <= end;) {
        Box b;
        b.offset = p;
        const auto t = read(p + 4, 4);
        b.type.assign(t.begin(), t.end());
        const std::uint64_t size32 = be(p, 4);
        b.headerSize = size32 == 1 ? 16 : 8;
        b.size = size32 == 1 ? be(p + 8, 8) : size32 == 0 ? end - p : size32;
        if (b.size < b.headerSize || b.size > end - p)
            throw std::runtime_error("box '" + b.type + "' does not fit its parent");
        out.push_back(b);
        p += b.size;
    }
    return out;
}

std::optional<Box> Mp4Source::child(const Box& parent, const std::string& type) const {
    for (const auto& b : children(parent)) {
        if (b.type == type)
            return b;
    }
    return std::nullopt;
}

std::optional<Box> Mp4Source::find(const std::vector<std::string>& path) const {
    std::optional<Box> current;
    for (const auto& type : path) {
        const auto list = current ? children(*current) : topLevel();
        current.reset();
        for (const auto& b : list) {
            if (b.type == type) {
                current = b;
                break;
            }
        }
        if (!current)
            return std::nullopt;
    }
    return current;
}

std::vector<std::string> types(const std::vector<Box>& boxes) {
    std::vector<std::string> out;
    for (const auto& b : boxes)
        out.push_back(b.type);
    return out;
}

}  // namespace skelder::kovra::test
