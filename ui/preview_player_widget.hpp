#pragma once

#include <QVideoFrame>
#include <QWidget>

#include <filesystem>
#include <memory>

#include "core/picture_orientation.hpp"
#include "ui/media_player_playback.hpp"

class QAudioOutput;
class QLabel;
class QMediaDevices;
class QMediaPlayer;
class QSlider;
class QToolButton;
class QVideoSink;
class QVideoWidget;

namespace skelder::ui {

// The preview of the detail pane: a recording's video, fitted to the widget with its aspect
// kept, with its sound, and a control bar below it (play/pause, position slider, elapsed and
// total time, mute).
//
// Every setSource() makes a new media player (the old one and its observers go away with it),
// shown paused on its first frame once loaded. Sound plays only while an audio output device
// exists: Qt 6.4's FFmpeg backend crashes when it has to play sound without one.
class PreviewPlayerWidget : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewPlayerWidget(QWidget* parent = nullptr);
    ~PreviewPlayerWidget() override;

    // Shows `file` in a new player, its frames turned (and mirrored) as `orientation` says,
    // which the quick scan read from the file's display matrix; an empty path removes the
    // player.
    void setSource(const std::filesystem::path& file, PictureOrientation orientation = {});
    // How the current file's frames are shown from the next frame on (its scan may finish
    // after it is shown).
    void setPictureOrientation(PictureOrientation orientation) { orientation_ = orientation; }
    const std::filesystem::path& source() const { return source_; }

    // The current player as the clip controller drives it; null without a source.
    std::shared_ptr<PreviewPlaybackControlling> playback() const { return playback_; }
    QMediaPlayer* mediaPlayer() const { return player_; }
    QVideoSink* videoSink() const;
    // The video area in this widget's coordinates and the picture it shows now (null before
    // the first frame), for pictures of the window: grabbing a video widget gives no video.
    QRect videoRect() const;
    QImage currentFrameImage() const;

    // Playing in the sense of the timeline's playhead: the player plays (or waits to), and it
    // is not just fetching its first frame.
    bool isPlaying() const;
    double currentSeconds() const;
    bool hasAudioOutput() const;

  signals:
    void playingChanged(bool playing);
    // The media failed to load or play; the text is the player's description.
    void errorOccurred(const QString& message);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void releasePlayer();
    void forwardFramesOriented();
    void attachAudioOutput();
    void startPosterFrame();
    void finishPosterFrame(bool returnToStart);
    void togglePlayback();
    void refreshControls();
    void refreshPlaying();

    std::filesystem::path source_;
    PictureOrientation orientation_;
    QVideoSink* decodedFrames_ = nullptr;
    QVideoWidget* video_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QSlider* positionSlider_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QToolButton* muteButton_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QMediaDevices* devices_ = nullptr;
    QMediaPlayer* player_ = nullptr;
    std::shared_ptr<MediaPlayerPlayback> playback_;
    QMetaObject::Connection posterFrameConnection_;
    bool isShowingPosterFrame_ = false;
    bool hasShownPosterFrame_ = false;
    bool wasPlaying_ = false;
};

// "m:ss", or "h:mm:ss" from one hour on, of whole seconds (negative and unknown times read 0).
QString previewTimeText(double seconds);

}  // namespace skelder::ui
