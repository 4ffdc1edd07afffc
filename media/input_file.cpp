#include "media/input_file.hpp"

#include "media/library_setup.hpp"
#include "media/media_error.hpp"

namespace skelder::media {

FramePtr allocateFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

PacketPtr allocatePacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

InputContext openInput(const std::filesystem::path& path) {
    configureMediaLibrary();
    AVFormatContext* raw = nullptr;
    checkFFmpeg(avformat_open_input(&raw, path.c_str(), nullptr, nullptr));
    InputContext context(raw);
    checkFFmpeg(avformat_find_stream_info(context.get(), nullptr));
    return context;
}

}  // namespace skelder::media
