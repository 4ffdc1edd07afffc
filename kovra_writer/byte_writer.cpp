#include "kovra_writer/byte_writer.hpp"

#include <bit>
#include <stdexcept>
#include <string>

namespace skelder::kovra {

void ByteWriter::f32(float v) {
    u32(std::bit_cast<std::uint32_t>(v));
}

void ByteWriter::f64(double v) {
    u64(std::bit_cast<std::uint64_t>(v));
}

void ByteWriter::unsignedN(std::uint64_t v, std::size_t byteCount) {
    if (byteCount < 1 || byteCount > 8) {
        throw std::invalid_argument("byte count must be 1 to 8, got " + std::to_string(byteCount));
    }
    for (std::size_t i = byteCount; i-- > 0;) {
        bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

void ByteWriter::fourcc(std::string_view type) {
    if (type.size() != 4) {
        throw std::invalid_argument("box type must have 4 characters: '" + std::string(type) + "'");
    }
    bytes_.insert(bytes_.end(), type.begin(), type.end());
}

void ByteWriter::cstring(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
}

void ByteWriter::patchU32(std::size_t offset, std::uint32_t v) {
    patch(offset, v, 4);
}

void ByteWriter::patchU64(std::size_t offset, std::uint64_t v) {
    patch(offset, v, 8);
}

void ByteWriter::patch(std::size_t offset, std::uint64_t v, std::size_t byteCount) {
    if (offset > bytes_.size() || bytes_.size() - offset < byteCount) {
        throw std::out_of_range("patch at " + std::to_string(offset) + " passes the end of " +
                                std::to_string(bytes_.size()) + " written bytes");
    }
    for (std::size_t i = 0; i < byteCount; ++i) {
        bytes_[offset + i] = static_cast<std::uint8_t>(v >> (8 * (byteCount - 1 - i)));
    }
}

}  // namespace skelder::kovra
