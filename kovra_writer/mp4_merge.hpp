#pragma once

#include <filesystem>

#include "kovra_writer/kovra_writer.hpp"

namespace skelder::kovra {

// Writes `outputPath`: the media of an ordinary MP4 (e.g. camera video and audio) plus a Kovra
// telemetry track built from `options`. The output holds every top-level box of the input except
// "moov", in input order and streamed (inputs of many GiB are fine), then a new "mdat" with the
// telemetry samples, then a new "moov": the input's moov children with chunk offsets moved to
// the boxes' new positions, mvhd next_track_ID advanced, and the telemetry "trak" appended with
// the input's next_track_ID. Inputs with the moov after the media need no offset changes; inputs
// with the moov first (faststart) have their stco/co64 entries rewritten. The telemetry track
// uses co64 when options.useCo64 is set or its offsets need 64 bits. options.durationSeconds
// <= 0 takes the movie's duration; a longer telemetry track extends the mvhd duration.
// options.includeVideoTrack and the mdat padding options are ignored; trailing bytes too short
// for a box header are not copied.
//
// Throws std::runtime_error for inputs it cannot handle (no or several moov boxes, fragmented
// files, malformed top-level boxes, chunk offsets outside the copied boxes), std::invalid_argument
// when the output is the input, and std::system_error on I/O failures.
void appendTelemetryTrack(const std::filesystem::path& inputMp4Path,
                          const std::filesystem::path& outputPath, const RecordingOptions& options);

}  // namespace skelder::kovra
