#include "media/input_file.hpp"

#include <atomic>

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

namespace {

std::atomic<long> openedFiles{0};
std::atomic<long> probedFiles{0};

}  // namespace

InputContext openInputHeader(const std::filesystem::path& path) {
    configureMediaLibrary();
    AVFormatContext* raw = nullptr;
    openedFiles.fetch_add(1, std::memory_order_relaxed);
    checkFFmpeg(avformat_open_input(&raw, path.c_str(), nullptr, nullptr));
    return InputContext(raw);
}

InputContext openInput(const std::filesystem::path& path) {
    InputContext context = openInputHeader(path);
    probedFiles.fetch_add(1, std::memory_order_relaxed);
    checkFFmpeg(avformat_find_stream_info(context.get(), nullptr));
    return context;
}

InputOpenCounts inputOpenCounts() {
    return {openedFiles.load(), probedFiles.load()};
}

}  // namespace skelder::media
