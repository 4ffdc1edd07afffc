// The preview on Qt's real media player (FFmpeg backend) with a sample recording whose pictures
// carry their frame number: seeks, clip playback and the first picture are checked by reading
// the frame the player hands to its video output.

#include <QImage>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "samples/frame_code.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "ui/media_player_playback.hpp"
#include "ui/preview_clip_playback_controller.hpp"
#include "ui/preview_player_widget.hpp"

namespace skelder::ui {
namespace {

using media::MediaTime;

constexpr int kWaitMs = 15000;  // generous: the sanitizer build decodes slowly on a busy machine

std::optional<std::int64_t> shownFrameNumber(QVideoSink* sink) {
    const QVideoFrame frame = sink->videoFrame();
    if (!frame.isValid())
        return std::nullopt;
    const QImage image = frame.toImage().convertToFormat(QImage::Format_ARGB32);
    return samples::readBurnedFrameNumber(image.constBits(), image.width(), image.height(),
                                          static_cast<int>(image.bytesPerLine()));
}

class PreviewPlayerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory = new testing::TempDir;
        testing::copySampleRecording(recording(), {.seconds = 4, .width = 320, .height = 180});
    }
    static void TearDownTestSuite() {
        delete directory;
        directory = nullptr;
    }
    static std::filesystem::path recording() { return *directory / "preview.mp4"; }

    void SetUp() override {
        preview.resize(480, 320);
        preview.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    }

    // Waits until the player has loaded and shows its first picture, paused.
    void loadRecording() {
        preview.setSource(recording());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return preview.mediaPlayer()->mediaStatus() != QMediaPlayer::LoadingMedia &&
                       shownFrameNumber(preview.videoSink()) == 0 &&
                       preview.mediaPlayer()->playbackState() != QMediaPlayer::PlayingState;
            },
            kWaitMs))
            << "status " << preview.mediaPlayer()->mediaStatus();
    }

    static inline testing::TempDir* directory = nullptr;
    PreviewPlayerWidget preview;
};

TEST_F(PreviewPlayerTest, ShowsTheFirstPicturePausedAndTheFrameOfEachSecondSoughtExactly) {
    QSignalSpy playing(&preview, &PreviewPlayerWidget::playingChanged);
    loadRecording();
    EXPECT_EQ(preview.mediaPlayer()->position(), 0);
    EXPECT_FALSE(preview.isPlaying());
    EXPECT_EQ(playing.count(), 0);
    EXPECT_EQ(preview.mediaPlayer()->duration(), 4000);

    // Exact seeks show the frame of the second.
    auto playback = preview.playback();
    for (const int second : {3, 1, 2}) {
        std::optional<bool> finished;
        playback->seek({second, 1}, MediaTime::zero(), MediaTime::zero(),
                       [&](bool done) { finished = done; });
        EXPECT_FALSE(finished.has_value());  // never inside seek()
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.has_value(); }, kWaitMs));
        EXPECT_TRUE(*finished);
        EXPECT_EQ(preview.mediaPlayer()->position(), second * 1000);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return shownFrameNumber(preview.videoSink()) == second * 30; }, kWaitMs))
            << "second " << second << " shows frame "
            << shownFrameNumber(preview.videoSink()).value_or(-1);
    }
}

TEST_F(PreviewPlayerTest, PlaysAHighlightClipAndStopsOnItsEnd) {
    loadRecording();
    QSignalSpy playing(&preview, &PreviewPlayerWidget::playingChanged);
    PreviewClipPlaybackController controller;
    std::optional<MediaTime> started;
    controller.playSegment({1, 1, 1, 1.0, 1.0, 1.0}, preview.playback(),
                           [&](MediaTime start) { started = start; });
    ASSERT_TRUE(started.has_value());
    EXPECT_EQ(started->seconds(), 1.0);

    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.isPlaying(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !controller.hasStopObserver() && !preview.isPlaying(); }, kWaitMs));
    EXPECT_EQ(preview.mediaPlayer()->position(), 2000);
    // The picture of the clip's end: frame 60 of 30 frames per second.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return shownFrameNumber(preview.videoSink()) == 60; }, kWaitMs))
        << "shows frame " << shownFrameNumber(preview.videoSink()).value_or(-1);
    ASSERT_GE(playing.count(), 2);
    EXPECT_EQ(playing.first().first().toBool(), true);
    EXPECT_EQ(playing.last().first().toBool(), false);
}

TEST_F(PreviewPlayerTest, ARecordingFromATurnedRecorderPlaysUpright) {
    // The sample writer stores its picture turned as a recorder mounted sideways does; the
    // preview must show it the way up the display matrix says, so its frame code reads.
    for (const int degrees : {90, 270, 180}) {
        SCOPED_TRACE(degrees);
        const auto turned = *directory / ("turned" + std::to_string(degrees) + ".mp4");
        testing::copySampleRecording(
            turned, {.seconds = 1, .width = 320, .height = 180, .rotationDegrees = degrees});
        preview.setSource(turned, {degrees, false});
        // The previous file's first frame may still be up, with the same frame code: wait for
        // this file's, in its own shape.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QImage shown = preview.currentFrameImage();
                return shownFrameNumber(preview.videoSink()) == 0 &&
                       (shown.width() < shown.height()) == (degrees != 180);
            },
            kWaitMs));
    }
    // The turn comes from the scan, not from the file: an upright file said to be turned shows
    // turned (after the landscape 180° file, only its frames can be portrait).
    preview.setSource(recording(), {90, false});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QImage shown = preview.currentFrameImage();
            return !shown.isNull() && shown.width() < shown.height();
        },
        kWaitMs));
}

TEST_F(PreviewPlayerTest, SeeksAskedWhileLoadingWaitAndTheLatestWins) {
    QMediaPlayer player;
    MediaPlayerPlayback playback(&player);
    player.setSource(QUrl::fromLocalFile(QString::fromStdString(recording().string())));
    std::vector<std::pair<int, bool>> completions;
    playback.seek({1, 1}, MediaTime::zero(), MediaTime::zero(),
                  [&](bool finished) { completions.emplace_back(1, finished); });
    playback.seek({2, 1}, MediaTime::zero(), MediaTime::zero(),
                  [&](bool finished) { completions.emplace_back(2, finished); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions.size() == 2; }, kWaitMs));
    EXPECT_THAT(completions,
                ::testing::UnorderedElementsAre(std::pair(1, false), std::pair(2, true)));
    EXPECT_EQ(player.position(), 2000);
}

TEST(MediaPlayerPlayback, WithoutMediaASeekDoesNotFinishAndObserversDoNotTick) {
    QMediaPlayer player;
    MediaPlayerPlayback playback(&player);
    std::optional<bool> finished;
    playback.seek({1, 1}, MediaTime::zero(), MediaTime::zero(),
                  [&](bool done) { finished = done; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.has_value(); }, kWaitMs));
    EXPECT_FALSE(*finished);
    int ticks = 0;
    const auto token = playback.addPeriodicTimeObserver({30, 600}, [&](MediaTime) { ++ticks; });
    QTest::qWait(150);
    EXPECT_EQ(ticks, 0);  // not playing
    playback.removeTimeObserver(token);
    playback.removeTimeObserver(token);  // a second removal does nothing
}

}  // namespace
}  // namespace skelder::ui
