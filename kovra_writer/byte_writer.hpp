#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace skelder::kovra {

using Bytes = std::vector<std::uint8_t>;

// Appends big-endian values to a growing byte buffer; every multi-byte quantity in the
// recorder's files is big-endian.
class ByteWriter {
  public:
    void u8(std::uint8_t v) { bytes_.push_back(v); }
    void u16(std::uint16_t v) { unsignedN(v, 2); }
    void u32(std::uint32_t v) { unsignedN(v, 4); }
    void u64(std::uint64_t v) { unsignedN(v, 8); }
    void i8(std::int8_t v) { u8(static_cast<std::uint8_t>(v)); }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    void f32(float v);
    void f64(double v);

    // The low `byteCount` bytes (1 to 8) of `v`, most significant first.
    void unsignedN(std::uint64_t v, std::size_t byteCount);
    void raw(std::span<const std::uint8_t> data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    // Exactly four characters; anything else throws std::invalid_argument.
    void fourcc(std::string_view type);
    // The text's bytes followed by one zero byte.
    void cstring(std::string_view text);

    // Overwrite already written bytes, e.g. a box size known only after its payload.
    void patchU32(std::size_t offset, std::uint32_t v);
    void patchU64(std::size_t offset, std::uint64_t v);

    std::size_t size() const noexcept { return bytes_.size(); }
    const Bytes& bytes() const& noexcept { return bytes_; }
    Bytes take() && noexcept { return std::move(bytes_); }

  private:
    void patch(std::size_t offset, std::uint64_t v, std::size_t byteCount);

    Bytes bytes_;
};

}  // namespace skelder::kovra
