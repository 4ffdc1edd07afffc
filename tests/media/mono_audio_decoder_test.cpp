#include "media/mono_audio_decoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "core/cancellation.hpp"
#include "media/media_error.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::media {
namespace {

constexpr int kRate = 4000;

// Seconds on the file's timeline of the first sample louder than `level`.
double firstLoudSeconds(const MonoAudio& audio, float level) {
    for (std::size_t i = 0; i < audio.samples.size(); ++i) {
        if (std::abs(audio.samples[i]) > level)
            return audio.startSeconds + static_cast<double>(i) / audio.sampleRate;
    }
    return -1;
}

class MonoAudioDecoderTest : public ::testing::Test {
  protected:
    // AAC from ffmpeg: silence for 1 s, then a 440 Hz tone on the left channel and 1000 Hz on the
    // right, until 3 s.
    std::filesystem::path makeOnsetFile() {
        const auto file = dir_ / "onset.mp4";
        testing::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=30:d=3", "-f", "lavfi", "-i",
                         "aevalsrc='0.5*sin(2*PI*440*t)*gte(t,1)|0.5*sin(2*PI*1000*t)*gte(t,1)'"
                         ":s=48000:d=3",
                         "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", file.string()});
        return file;
    }

    testing::TempDir dir_;
};

TEST_F(MonoAudioDecoderTest, PlacesTheSoundByItsPresentationTimesWhereverAStretchStarts) {
    MonoAudioDecoder decoder(makeOnsetFile(), kRate);
    ASSERT_TRUE(decoder.hasAudio());
    const MonoAudio whole = decoder.decode(0, 3, {});
    EXPECT_EQ(whole.sampleRate, kRate);
    ASSERT_EQ(whole.samples.size(), 3u * kRate);
    // The encoder's priming samples are not counted as sound: the tone starts at 1 s.
    EXPECT_NEAR(firstLoudSeconds(whole, 0.1f), 1.0, 0.002);
    for (const double start : {0.5, 0.8, 0.95}) {
        SCOPED_TRACE(start);
        const MonoAudio part = decoder.decode(start, 1.0, {});
        EXPECT_EQ(part.decodedSamples, part.samples.size());
        EXPECT_NEAR(firstLoudSeconds(part, 0.1f), 1.0, 0.002);
        // Read on its own, the stretch lines up with the same stretch read from the start to
        // within a sample: no lag of one sample or more matches better than none.
        const auto offset = static_cast<std::ptrdiff_t>(std::lround(start * kRate));
        const auto match = [&](std::ptrdiff_t lag) {
            double sum = 0;
            for (std::ptrdiff_t i = 8; i + 8 < std::ssize(part.samples); ++i)
                sum += static_cast<double>(part.samples[static_cast<std::size_t>(i)]) *
                       whole.samples[static_cast<std::size_t>(offset + i + lag)];
            return sum;
        };
        for (const std::ptrdiff_t lag : {-2, -1, 1, 2})
            EXPECT_GT(match(0), match(lag)) << lag;
    }
}

TEST_F(MonoAudioDecoderTest, FillsWhatLiesOutsideTheTrackWithSilence) {
    const auto file = dir_ / "tone.mp4";
    testing::makeTestVideo(file, {.seconds = 2, .audio = true});
    MonoAudioDecoder decoder(file, kRate);
    const MonoAudio tail = decoder.decode(1.5, 2.0, {});
    ASSERT_EQ(tail.samples.size(), 2u * kRate);
    EXPECT_NEAR(static_cast<double>(tail.decodedSamples) / kRate, 0.5, 0.03);
    for (std::size_t i = tail.decodedSamples + 100; i < tail.samples.size(); ++i)
        ASSERT_EQ(tail.samples[i], 0.0f) << i;
    for (const double start : {-1.0, 3600.0, 1e12, -1e300}) {
        const MonoAudio outside = decoder.decode(start, 0.5, {});
        EXPECT_EQ(outside.samples.size(), static_cast<std::size_t>(kRate / 2)) << start;
        EXPECT_EQ(outside.decodedSamples, 0u) << start;
    }
    EXPECT_EQ(decoder.decode(1.0, 0, {}).samples.size(), 0u);
}

TEST_F(MonoAudioDecoderTest, AFileWithoutSoundHasNoAudioAndDecodesToSilence) {
    const auto file = dir_ / "silent.mp4";
    testing::makeTestVideo(file, {.audio = false});
    MonoAudioDecoder decoder(file, kRate);
    EXPECT_FALSE(decoder.hasAudio());
    const MonoAudio audio = decoder.decode(0, 1, {});
    EXPECT_EQ(audio.samples.size(), static_cast<std::size_t>(kRate));
    EXPECT_EQ(audio.decodedSamples, 0u);
}

TEST_F(MonoAudioDecoderTest, RejectsBadStretchesUnreadableFilesAndStopsWhenAsked) {
    const auto file = dir_ / "tone.mp4";
    testing::makeTestVideo(file, {.audio = true});
    MonoAudioDecoder decoder(file, kRate);
    EXPECT_THROW(decoder.decode(0, -1, {}), std::invalid_argument);
    EXPECT_THROW(decoder.decode(NAN, 1, {}), std::invalid_argument);
    EXPECT_THROW(decoder.decode(0, 5 * 3600, {}), std::invalid_argument);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(decoder.decode(0, 1, stop.get_token()), CancellationError);

    const auto junk = dir_ / "junk.mp4";
    testing::writeFile(junk, std::vector<std::uint8_t>(4096, 0x5a));
    EXPECT_THROW(MonoAudioDecoder(junk, kRate), MediaError);
    EXPECT_THROW(MonoAudioDecoder(file, 0), std::invalid_argument);
}

}  // namespace
}  // namespace skelder::media
