#pragma once

// Recordings shaped to be expensive to read: valid files whose tables are far larger than a
// recorder writes them. The extraction benchmark, the fuzzer's seed corpus and the tests build
// them at the sizes they need.

#include <cstddef>

#include "kovra_writer/kovra_writer.hpp"

namespace skelder::kovra {

// `drive` whose rate table also declares `count` rates that list no channel (intervals of one
// second and more, so the cycle step stays the drive's).
RecordingOptions withUnusedRates(RecordingOptions drive, std::size_t count);

// `drive` with `count` more channels that carry none of the eight signals, all recorded once a
// second as one byte each (channel identifiers from 100 up, so at most 65,436).
RecordingOptions withUnreadChannels(RecordingOptions drive, std::size_t count);

// `drive` with `count` more rates of one channel each that carries none of the eight signals,
// at intervals of one second and a little more, so that each is due only now and then.
RecordingOptions withRarelyDueRates(RecordingOptions drive, std::size_t count);

// `drive` cut into one sample per payload cycle, `samplesPerChunk` samples to a chunk.
RecordingOptions withTinySamples(RecordingOptions drive, int samplesPerChunk);

// `drive` as a file in memory whose movie box also holds `depth` boxes nested one in another.
Bytes withNestedBoxes(const RecordingOptions& drive, std::size_t depth);

}  // namespace skelder::kovra
