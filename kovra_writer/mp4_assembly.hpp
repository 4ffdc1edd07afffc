#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "kovra_writer/byte_writer.hpp"

namespace skelder::kovra {

struct Mp4Layout {
    bool largeMdatHeader = false;  // 64-bit mdat size even when 32 bits would do
    bool moovFirst = false;        // ftyp, moov, mdat instead of ftyp, mdat, moov
    std::uint32_t movieTimescale = 1000;
    std::uint64_t movieDuration = 0;  // in movieTimescale units
    std::uint32_t nextTrackId = 0;    // 0: number of traks + 1
};

// Builds the "trak" boxes once the absolute file offset of the mdat payload's first byte is
// known; chunk offsets are that offset plus positions inside the payload.
using TrakFactory = std::function<std::vector<Bytes>(std::uint64_t mdatPayloadOffset)>;

Bytes moovBox(const Mp4Layout& layout, const std::vector<Bytes>& traks);

// ftyp + mdat(payload) + moov(mvhd, traks...), or with moov before mdat. With moov first the
// factory runs twice (the moov size must not depend on the offset, which holds for stco/co64).
Bytes assembleMp4(std::span<const std::uint8_t> mdatPayload, const TrakFactory& traks,
                  const Mp4Layout& layout = {});

}  // namespace skelder::kovra
