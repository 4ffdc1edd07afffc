#pragma once

#include <cstdint>
#include <span>

#include "telemetry/binary_reader.hpp"

namespace skelder {

// Where the extraction reads a recording's bytes from: the file, read piece by piece at the
// positions the box tree names, or bytes already in memory. Only the movie box and the
// telemetry samples are ever read, so memory follows them, not the file.
class ByteSource {
  public:
    virtual ~ByteSource() = default;

    // The number of bytes in the source when it was opened.
    virtual std::int64_t size() const = 0;

    // Fills `destination` with the bytes from `offset` on; the caller keeps the range within
    // size(). Throws TelemetryExtractionError "Failed to read file: ..." when they cannot be read.
    virtual void read(std::int64_t offset, std::span<std::uint8_t> destination) = 0;

    // Throws TelemetryExtractionError "Failed to read file: ..." when the bytes may have
    // changed since the source was opened, so a result read from them cannot be trusted.
    virtual void confirmUnchanged() {}
};

// Bytes the caller holds in memory (fuzzing, tests); they must outlive the source.
class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(ByteSpan bytes) : bytes_(bytes) {}

    std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }
    void read(std::int64_t offset, std::span<std::uint8_t> destination) override;

  private:
    ByteSpan bytes_;
};

}  // namespace skelder
