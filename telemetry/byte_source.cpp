#include "telemetry/byte_source.hpp"

#include <algorithm>

#include "telemetry/extraction_error.hpp"

namespace skelder {

void MemoryByteSource::read(std::int64_t offset, std::span<std::uint8_t> destination) {
    if (offset < 0 || offset > size() ||
        static_cast<std::int64_t>(destination.size()) > size() - offset) {
        throw TelemetryExtractionError::readFailed("the range lies beyond the end of the file");
    }
    std::copy_n(bytes_.begin() + offset, destination.size(), destination.begin());
}

}  // namespace skelder
