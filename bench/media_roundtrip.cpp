// Decodes a video to BGRA and encodes it again (H.264 High, veryfast) with the audio copied:
// the media layer's share of an export, without the HUD. Prints frames per second.
// Usage: media_roundtrip INPUT OUTPUT [BITRATE]
#include <fmt/format.h>

#include <chrono>
#include <string>
#include <thread>

#include "media/asset.hpp"
#include "media/audio_reader.hpp"
#include "media/media_writer.hpp"
#include "media/video_reader.hpp"

using namespace skelder::media;

int main(int argc, char** argv) {
    if (argc < 3) {
        fmt::print(stderr, "usage: {} INPUT OUTPUT [BITRATE]\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const Asset asset = Asset::open(argv[1]);
    const VideoTrackInfo& video = asset.videoTrack().value();
    const std::int64_t bitRate = argc > 3 ? std::stoll(argv[3]) : 12'441'600;
    VideoReader videoReader(MediaSource::file(argv[1]), video.naturalWidth, video.naturalHeight);
    AudioReader audioReader(MediaSource::file(argv[1]));
    MediaWriter writer(argv[2]);
    writer.addVideoInput({video.naturalWidth, video.naturalHeight, bitRate,
                          video.preferredTransform, video.color, video.nominalFrameRate,
                          "veryfast"});
    const bool audio = asset.audioTrack() && audioReader.startReading() &&
                       writer.addAudioInput(audioReader.format());
    if (!writer.startWriting() || !videoReader.startReading()) {
        fmt::print(stderr, "cannot start: {} {}\n", writer.errorDescription(),
                   videoReader.errorDescription());
        return 1;
    }
    std::thread audioPump([&] {
        while (audio) {
            auto packet = audioReader.copyNextPacket();
            if (!packet)
                break;
            while (!writer.isAudioReadyForMoreData() && writer.status() == WriterStatus::writing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            writer.appendAudioPacket(std::move(*packet));
        }
        writer.markAudioFinished();
    });
    int frames = 0;
    while (auto frame = videoReader.copyNextFrame()) {
        while (!writer.isVideoReadyForMoreData())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const MediaTime time = frame->presentationTime;
        writer.appendVideoFrame(std::move(*frame), time);
        ++frames;
    }
    writer.markVideoFinished();
    audioPump.join();
    writer.finishWriting();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fmt::print("{} frames in {:.2f} s: {:.1f} fps ({})\n", frames, seconds, frames / seconds,
               writer.status() == WriterStatus::completed ? "ok" : writer.errorDescription());
    return writer.status() == WriterStatus::completed ? 0 : 1;
}
