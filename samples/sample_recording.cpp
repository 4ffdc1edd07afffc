#include "samples/sample_recording.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

#include "core/cancellation.hpp"
#include "kovra_writer/mp4_merge.hpp"
#include "samples/engine_sound.hpp"
#include "samples/picture_rotation.hpp"
#include "samples/sample_muxer.hpp"
#include "samples/sample_picture.hpp"
#include "samples/temporary_sibling.hpp"

namespace skelder::samples {

namespace {

constexpr int kAudioSampleRate = 48'000;
constexpr int kSmallestSide = 64;
constexpr int kLargestSide = 7680;
constexpr double kKeyframeSeconds = 2;
constexpr double kLongestSampleSeconds = 4 * 3600;
// Share of the progress that the video and audio take; the telemetry track takes the rest.
constexpr double kMediaShare = 0.97;

bool validSide(int pixels) {
    return pixels >= kSmallestSide && pixels <= kLargestSide && pixels % 2 == 0;
}

void report(const SampleOptions& options, double fraction) {
    if (options.onProgress) {
        options.onProgress(fraction);
    }
}

// Audio sample index at which a video frame ends.
std::int64_t audioSamplesUntilFrameEnd(const SampleOptions& options, std::int64_t frameNumber) {
    const FrameRate& rate = options.frameRate;
    const __int128 numerator =
        static_cast<__int128>(frameNumber + 1) * rate.denominator * kAudioSampleRate;
    return static_cast<std::int64_t>((numerator + rate.numerator - 1) / rate.numerator);
}

void writeMedia(const std::filesystem::path& path, const SampleOptions& options,
                const DriveSimulation& drive) {
    const SampleVideoSettings video{.width = options.width,
                                    .height = options.height,
                                    .frameRate = options.frameRate,
                                    .rotationDegrees = options.rotationDegrees,
                                    .keyframeInterval = sampleKeyframeInterval(options)};
    std::optional<SampleAudioSettings> audio;
    if (options.audio) {
        audio = SampleAudioSettings{kAudioSampleRate};
    }
    SampleMuxer muxer(path, video, audio);

    const std::int64_t frames = sampleFrameCount(options);
    const auto audioSamples =
        static_cast<std::int64_t>(std::llround(sampleVideoSeconds(options) * kAudioSampleRate));
    EngineSound sound(drive, options.sound, options.seed, kAudioSampleRate);
    const auto chunk = static_cast<std::int64_t>(std::max(1, muxer.audioFrameSize()));
    std::vector<float> samples(static_cast<std::size_t>(chunk));
    std::int64_t audioWritten = 0;

    std::optional<OwnedYuvPicture> upright;
    if (options.rotationDegrees != 0) {
        const bool quarter = options.rotationDegrees == 90 || options.rotationDegrees == 270;
        upright.emplace(quarter ? options.height : options.width,
                        quarter ? options.width : options.height);
    }
    for (std::int64_t frame = 0; frame < frames; ++frame) {
        throwIfCancelled(options.stopToken);
        if (options.audio) {
            // The sound up to the end of this frame, so the muxer interleaves evenly.
            const std::int64_t until =
                std::min(audioSamples, audioSamplesUntilFrameEnd(options, frame));
            while (audioWritten < until &&
                   (audioWritten + chunk <= until || until == audioSamples)) {
                const std::int64_t count = std::min(chunk, audioSamples - audioWritten);
                const std::span<float> out(samples.data(), static_cast<std::size_t>(count));
                sound.render(out);
                muxer.encodeAudio(out);
                audioWritten += count;
            }
        }
        const double seconds = sampleFrameSeconds(options, frame);
        YuvPicture stored = muxer.nextPicture();
        // A turned recorder paints what its driver sees and stores it turned back.
        YuvPicture picture = upright ? upright->picture : stored;
        const DriveState state = drive.stateAt(seconds);
        paintSamplePicture({.frameNumber = frame,
                            .elapsedText = elapsedText(frame, options.frameRate.numerator,
                                                       options.frameRate.denominator),
                            .seconds = seconds,
                            .distanceMetres = state.distanceMetres,
                            .steeringAngleRadians = state.steeringAngleRadians},
                           picture);
        if (upright)
            storeTurned(upright->picture, options.rotationDegrees, stored);
        muxer.encodeVideoFrame();
        report(options, kMediaShare * static_cast<double>(frame + 1) / static_cast<double>(frames));
    }
    muxer.finish();
}

}  // namespace

void validateSampleOptions(const SampleOptions& options) {
    if (!std::isfinite(options.seconds) || options.seconds <= 0) {
        throw SampleOptionsError("The duration must be a positive number of seconds");
    }
    if (!validSide(options.width) || !validSide(options.height)) {
        throw SampleOptionsError("The picture size must be even numbers of pixels from 64 to 7680");
    }
    const FrameRate& rate = options.frameRate;
    if (rate.numerator <= 0 || rate.denominator <= 0 || rate.value() < 1 || rate.value() > 120) {
        throw SampleOptionsError("The frame rate must be from 1 to 120 frames per second");
    }
    if (options.rotationDegrees != 0 && options.rotationDegrees != 90 &&
        options.rotationDegrees != 180 && options.rotationDegrees != 270) {
        throw SampleOptionsError("The rotation must be 0, 90, 180 or 270 degrees");
    }
    if (!std::isfinite(options.telemetryLagSeconds) || std::abs(options.telemetryLagSeconds) > 10) {
        throw SampleOptionsError("The telemetry lag must be within 10 seconds");
    }
    validateEngineSoundOptions(options.sound);
    if (options.seconds * rate.value() > static_cast<double>(kLargestBurnedFrameNumber + 1) ||
        options.seconds > kLongestSampleSeconds) {
        throw SampleOptionsError("A sample lasts at most 4 hours and holds at most 1048576 frames");
    }
}

std::int64_t sampleFrameCount(const SampleOptions& options) {
    return std::max<std::int64_t>(1, std::llround(options.seconds * options.frameRate.value()));
}

double sampleVideoSeconds(const SampleOptions& options) {
    return sampleFrameSeconds(options, sampleFrameCount(options));
}

double sampleFrameSeconds(const SampleOptions& options, std::int64_t frameNumber) {
    return static_cast<double>(frameNumber) * options.frameRate.denominator /
           options.frameRate.numerator;
}

int sampleKeyframeInterval(const SampleOptions& options) {
    return std::max(1, static_cast<int>(std::lround(kKeyframeSeconds * options.frameRate.value())));
}

DriveSimulation sampleDrive(const SampleOptions& options) {
    return DriveSimulation({.durationSeconds = sampleVideoSeconds(options),
                            .seed = options.seed,
                            .circuit = options.circuit});
}

void writeSampleRecording(const std::filesystem::path& path, const SampleOptions& options) {
    validateSampleOptions(options);
    if (std::filesystem::is_directory(path)) {
        throw std::filesystem::filesystem_error("cannot replace", path,
                                                std::make_error_code(std::errc::is_a_directory));
    }
    const DriveSimulation drive = sampleDrive(options);
    TemporarySibling media(path, "media");
    TemporarySibling recording(path, "part");
    report(options, 0);
    writeMedia(media.path(), options, drive);
    throwIfCancelled(options.stopToken);
    kovra::appendTelemetryTrack(
        media.path(), recording.path(),
        driveTelemetryOptions(drive, sampleVideoSeconds(options), options.telemetryLagSeconds));
    recording.moveIntoPlace();
    report(options, 1);
}

}  // namespace skelder::samples
