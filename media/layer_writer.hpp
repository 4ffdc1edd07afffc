#pragma once

// A video of the HUD alone over transparent pixels, for editors that lay it over their own cut:
// a QuickTime file in a codec with an alpha channel, written frame for frame at the source's
// own presentation times. Stretches of pictures can be encoded at once by several encoders
// (each stretch starts with a key picture) and written in order by one muxer.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <stop_token>
#include <vector>

#include "media/animation_coding.hpp"
#include "media/ffmpeg_handles.hpp"

namespace skelder::media {

// QuickTime Animation (lossless run-length coding of the rows that changed since the previous
// picture, 8-bit ARGB) or ProRes 4444 (10-bit 4:4:4 with 16-bit alpha).
enum class LayerCodec { animation, prores4444 };

// The presentation time of every picture of a file's video, ascending, in the stream's own
// units, and the stream's time base; read from the packets, nothing decoded.
struct VideoFrameTimes {
    AVRational timeBase{1, 1};
    std::vector<std::int64_t> pts;
    // How long the last picture lasts, in stream units (the stream's frame interval).
    std::int64_t lastDuration = 1;
};

// Throws MediaError when the file has no video; CancellationError when `stop` fires.
VideoFrameTimes videoFrameTimes(const std::filesystem::path& path, std::stop_token stop);

// One encoder of layer pictures; its first picture is a key picture.
class LayerEncoder {
  public:
    // A box of pixels: columns [left, right), rows [top, bottom) from the top.
    struct Box {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };

    // Throws MediaError.
    LayerEncoder(int width, int height, AVRational timeBase, LayerCodec codec);
    LayerEncoder(const LayerEncoder&) = delete;
    LayerEncoder& operator=(const LayerEncoder&) = delete;

    // What a muxer stores of the stream. Throws MediaError.
    void describe(AVCodecParameters& parameters) const;
    AVRational timeBase() const { return timeBase_; }

    // Encodes a premultiplied BGRA picture of the encoder's size (rows `stride` bytes apart)
    // shown at `pts` for `duration` (stream units). Only the pixels in `changed` differ from
    // the previous picture given (all of them for the first). The packets ready go to `out`.
    // Throws MediaError.
    void encode(const std::uint8_t* bgra, int stride, const std::vector<Box>& changed,
                std::int64_t pts, std::int64_t duration, std::vector<PacketPtr>& out);
    // The packets still in the encoder.
    void flush(std::vector<PacketPtr>& out);

  private:
    void drain(bool flushing, std::vector<PacketPtr>& out);
    // Makes the straight-alpha picture of a box from premultiplied BGRA.
    void convert(const std::uint8_t* bgra, int stride, Box box);
    // The same into the Animation picture, noting the columns of each row that changed.
    void convertNotingChanges(const std::uint8_t* bgra, int stride, Box box);
    void encodeAnimation(std::int64_t pts, std::int64_t duration, std::vector<PacketPtr>& out);

    int width_;
    int height_;
    AVRational timeBase_;
    LayerCodec codec_;
    bool first_ = true;
    // Animation: the picture as the reader has it (A R G B) and what changed in each row.
    std::vector<std::uint8_t> argb_;
    std::vector<RowSpan> changedRows_;
    // ProRes: FFmpeg's encoder, its picture, and the picture with its alpha undone.
    CodecContext encoder_;
    FramePtr frame_;
    SwsContextPtr toEncoder_;
    FramePtr straight_;
    // How long each picture sent and not yet out of the encoder lasts, oldest first.
    std::deque<std::int64_t> durations_;
};

// The QuickTime file of a layer: one video stream described by an encoder's settings.
class LayerMuxer {
  public:
    // Opens the file and writes its header. Throws MediaError.
    LayerMuxer(const std::filesystem::path& path, const LayerEncoder& encoder);
    LayerMuxer(const LayerMuxer&) = delete;
    LayerMuxer& operator=(const LayerMuxer&) = delete;

    // Writes an encoder's packet (times in the encoder's time base). Throws MediaError.
    void write(AVPacket& packet);
    // Completes the file. Throws MediaError.
    void finish();

  private:
    OutputContext output_;
    AVStream* stream_ = nullptr;
    AVRational encoderTimeBase_{1, 1};
};

}  // namespace skelder::media
