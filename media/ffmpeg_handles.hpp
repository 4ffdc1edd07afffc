#pragma once

// Ownership of FFmpeg's C objects: every handle lives in a unique_ptr with its deleter.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace skelder::media {

struct InputContextDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct OutputContextDeleter {
    void operator()(AVFormatContext* context) const {
        if (context == nullptr)
            return;
        if (context->pb != nullptr && !(context->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&context->pb);
        }
        avformat_free_context(context);
    }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using InputContext = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using OutputContext = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;

FramePtr allocateFrame();
PacketPtr allocatePacket();

// Writes an MPEG-4 or QuickTime file's header so that its trailer puts the index (the movie
// box) before the media data: a player or browser starts playing as the first bytes arrive
// instead of fetching the whole file first. The trailer then moves the media data up once
// (one read and write of the file, a small share of an export's time).
int writeHeaderWithIndexInFront(AVFormatContext* output);

}  // namespace skelder::media
