#include "kovra_writer/mp4_assembly.hpp"

#include <stdexcept>

#include "kovra_writer/box_builder.hpp"
#include "kovra_writer/track_boxes.hpp"

namespace skelder::kovra {

Bytes moovBox(const Mp4Layout& layout, const std::vector<Bytes>& traks) {
    const auto nextTrackId =
        layout.nextTrackId != 0 ? layout.nextTrackId : static_cast<std::uint32_t>(traks.size() + 1);
    return box("moov", concat({mvhdBox(layout.movieTimescale, layout.movieDuration, nextTrackId),
                               concatAll(traks)}));
}

Bytes assembleMp4(std::span<const std::uint8_t> mdatPayload, const TrakFactory& traks,
                  const Mp4Layout& layout) {
    const Bytes ftyp = ftypBox();
    const Bytes mdatHeader = boxHeader("mdat", mdatPayload.size(), layout.largeMdatHeader);
    if (!layout.moovFirst) {
        const std::uint64_t payloadOffset = ftyp.size() + mdatHeader.size();
        return concat({ftyp, mdatHeader, mdatPayload, moovBox(layout, traks(payloadOffset))});
    }
    const std::size_t moovSize = moovBox(layout, traks(0)).size();
    const std::uint64_t payloadOffset = ftyp.size() + moovSize + mdatHeader.size();
    const Bytes moov = moovBox(layout, traks(payloadOffset));
    if (moov.size() != moovSize) {
        throw std::logic_error("moov size changed with the mdat offset");
    }
    return concat({ftyp, moov, mdatHeader, mdatPayload});
}

}  // namespace skelder::kovra
