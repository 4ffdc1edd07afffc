#pragma once

#include <cstddef>

namespace skelder::media {

// How the export keeps its memory bounded whatever the picture size and the number of cores.
// The encoder and the decoder hold pictures per thread, so their threads are limited by the
// bytes a picture takes; large pictures switch the encoder to slice threads, whose memory does
// not grow with the thread count.

// What x264 is set up with.
struct EncoderThreading {
    int threads = 0;              // 0: x264 chooses
    bool slicedThreads = false;   // threads share one picture instead of one picture each
    int bframes = -1;             // -1: the preset's
    int lookahead = -1;           // frames of rate-control lookahead; -1: the preset's
    bool lookaheadThread = true;  // false: the lookahead runs in the encoding threads
};

// Measured with x264 at 3840 × 2160 (a 4:2:0 picture of 12.4 MB), veryfast: frame threads take
// about 40 + 8 × threads pictures (560 MB with one thread, 810 MB with three); without B-frames,
// with 3 frames of lookahead and no lookahead thread about 12 + 6 × threads; slice threads with
// one B-frame about 19 + 1.85 × lookahead pictures (465 MB with the preset's 10 frames of
// lookahead, 305 MB with 3). Frame threads keep every core busy (slice threads wait on each
// picture's serial parts), so they are preferred while a thread a core fits.
EncoderThreading encoderThreadingFor(int width, int height, unsigned cores);

// Decoder threads for pictures of this size (each frame thread holds about two pictures more).
int decoderThreadsFor(int width, int height, unsigned cores);

// Decoded frames the reader may hold back until the decoder lets go of their pictures (about
// six frames after decoding them, with three decoder threads): none when large.
int decodedPicturesHeldFor(int width, int height);

// Encoder pictures that may wait for the encoder: at most 3, fewer when large.
int encoderQueueCapacityFor(int width, int height);

// Frames rendered at once: each holds a BGRA frame, its decoded picture and its encoder
// picture, within a fixed budget; at least one, at most `requested`.
int renderWorkersFor(int width, int height, int requested);

}  // namespace skelder::media
