#pragma once

#include <cstdint>
#include <stop_token>
#include <vector>

#include "telemetry/byte_source.hpp"

namespace skelder {

// The first top-level "moov" box of a recording, read into memory with its header: the track
// search and the sample tables parse these bytes as a file that holds only that box. The walk
// over the top-level boxes reads their headers only (the media data is never touched) but
// checks every one of them, as a listing of the whole file does. Throws
// TelemetryExtractionError ("MP4 metadata box 'moov' not found", box header messages, read
// failures) or CancellationError.
std::vector<std::uint8_t> readMovieBox(ByteSource& source, std::stop_token stop = {});

}  // namespace skelder
