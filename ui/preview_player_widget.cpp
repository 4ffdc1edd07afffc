#include "ui/preview_player_widget.hpp"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <algorithm>
#include <climits>
#include <cmath>

#include "ui/media_backend.hpp"
#include "ui/symbols.hpp"
#include "ui/system_colors.hpp"

namespace skelder::ui {

QString previewTimeText(double seconds) {
    const auto whole =
        std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(std::floor(seconds)) : 0LL;
    const long long hours = whole / 3600;
    const long long minutes = (whole / 60) % 60;
    const long long secs = whole % 60;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(secs, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes).arg(secs, 2, 10, QLatin1Char('0'));
}

PreviewPlayerWidget::PreviewPlayerWidget(QWidget* parent) : QWidget(parent) {
    preferFfmpegMediaBackend();
    setFocusPolicy(Qt::StrongFocus);

    video_ = new QVideoWidget(this);
    video_->setAspectRatioMode(Qt::KeepAspectRatio);
    video_->setAutoFillBackground(true);
    QPalette videoPalette = video_->palette();
    videoPalette.setColor(QPalette::Window, Qt::black);
    video_->setPalette(videoPalette);
    video_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    playButton_ = new QToolButton(this);
    playButton_->setAutoRaise(true);
    connect(playButton_, &QToolButton::clicked, this, &PreviewPlayerWidget::togglePlayback);

    positionSlider_ = new QSlider(Qt::Horizontal, this);
    positionSlider_->setAccessibleName(tr("Playback position"));
    connect(positionSlider_, &QSlider::sliderMoved, this, [this](int milliseconds) {
        if (player_) {
            finishPosterFrame(false);
            player_->setPosition(milliseconds);
        }
    });

    timeLabel_ = new QLabel(this);
    QFont digits = timeLabel_->font();
    digits.setStyleHint(QFont::Monospace);
    digits.setFamily(QStringLiteral("monospace"));
    timeLabel_->setFont(digits);

    muteButton_ = new QToolButton(this);
    muteButton_->setAutoRaise(true);
    muteButton_->setCheckable(true);
    connect(muteButton_, &QToolButton::toggled, this, [this](bool muted) {
        if (!isShowingPosterFrame_) {
            audio_->setMuted(muted);
        }
        refreshControls();
    });

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(6, 4, 6, 4);
    controls->setSpacing(8);
    controls->addWidget(playButton_);
    controls->addWidget(positionSlider_, 1);
    controls->addWidget(timeLabel_);
    controls->addWidget(muteButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(video_, 1);
    layout->addLayout(controls);

    audio_ = new QAudioOutput(this);
    devices_ = new QMediaDevices(this);
    connect(devices_, &QMediaDevices::audioOutputsChanged, this,
            &PreviewPlayerWidget::attachAudioOutput);
    refreshControls();
}

PreviewPlayerWidget::~PreviewPlayerWidget() {
    releasePlayer();
}

QVideoSink* PreviewPlayerWidget::videoSink() const {
    return video_->videoSink();
}

QRect PreviewPlayerWidget::videoRect() const {
    return video_->geometry();
}

QImage PreviewPlayerWidget::currentFrameImage() const {
    return video_->videoSink()->videoFrame().toImage();
}

bool PreviewPlayerWidget::isPlaying() const {
    return player_ && !isShowingPosterFrame_ &&
           player_->playbackState() == QMediaPlayer::PlayingState;
}

double PreviewPlayerWidget::currentSeconds() const {
    return player_ ? static_cast<double>(player_->position()) / 1000.0 : 0.0;
}

bool PreviewPlayerWidget::hasAudioOutput() const {
    return player_ && player_->audioOutput() != nullptr;
}

void PreviewPlayerWidget::releasePlayer() {
    if (!player_) {
        return;
    }
    // Callbacks of the old player may be on the stack: both go when control is back in the loop.
    player_->disconnect(this);
    decodedFrames_->disconnect(this);
    decodedFrames_ = nullptr;
    disconnect(posterFrameConnection_);
    player_->stop();
    player_->setVideoOutput(nullptr);
    player_->setAudioOutput(nullptr);
    player_->deleteLater();
    player_ = nullptr;
    playback_.reset();
    isShowingPosterFrame_ = false;
    hasShownPosterFrame_ = false;
    audio_->setMuted(muteButton_->isChecked());
}

void PreviewPlayerWidget::setSource(const std::filesystem::path& file,
                                    PictureOrientation orientation) {
    releasePlayer();
    source_ = file;
    orientation_ = orientation;
    if (!file.empty()) {
        player_ = new QMediaPlayer(this);
        forwardFramesOriented();
        attachAudioOutput();
        playback_ = std::shared_ptr<MediaPlayerPlayback>(
            new MediaPlayerPlayback(player_),
            [](MediaPlayerPlayback* playback) { playback->deleteLater(); });
        connect(playback_.get(), &MediaPlayerPlayback::controlRequested, this,
                [this] { finishPosterFrame(false); });
        connect(player_, &QMediaPlayer::mediaStatusChanged, this,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status == QMediaPlayer::LoadedMedia && !hasShownPosterFrame_) {
                        startPosterFrame();
                    }
                    refreshControls();
                });
        connect(player_, &QMediaPlayer::playbackStateChanged, this, [this] {
            refreshPlaying();
            refreshControls();
        });
        connect(player_, &QMediaPlayer::positionChanged, this, [this] { refreshControls(); });
        connect(player_, &QMediaPlayer::durationChanged, this, [this] { refreshControls(); });
        connect(player_, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error, const QString& message) {
                    finishPosterFrame(false);
                    emit errorOccurred(message);
                });
        posterFrameConnection_ = connect(video_->videoSink(), &QVideoSink::videoFrameChanged, this,
                                         [this](const QVideoFrame& frame) {
                                             if (isShowingPosterFrame_ && frame.isValid()) {
                                                 finishPosterFrame(true);
                                             }
                                         });
        player_->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    }
    refreshPlaying();
    refreshControls();
}

void PreviewPlayerWidget::attachAudioOutput() {
    if (!player_) {
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) {
        player_->setAudioOutput(nullptr);
    } else {
        audio_->setDevice(QMediaDevices::defaultAudioOutput());
        player_->setAudioOutput(audio_);
    }
    refreshControls();
}

// Qt's player hands over frames as they are stored: a recorder mounted sideways writes its
// turn in the track's display matrix only, so each frame is given that turn (and mirror) before
// the video widget shows it (a player that turns frames itself leaves nothing for us to do).
void PreviewPlayerWidget::forwardFramesOriented() {
    decodedFrames_ = new QVideoSink(player_);
    player_->setVideoSink(decodedFrames_);
    connect(decodedFrames_, &QVideoSink::videoFrameChanged, this, [this](QVideoFrame frame) {
        if (frame.isValid() && frame.rotationAngle() == QVideoFrame::Rotation0 &&
            !frame.mirrored()) {
            // The quarter turns are the angles Qt names.
            frame.setRotationAngle(
                static_cast<QVideoFrame::RotationAngle>(orientation_.clockwiseDegrees));
            frame.setMirrored(orientation_.mirrored);
        }
        video_->videoSink()->setVideoFrame(frame);
    });
}

// Qt's player shows no picture before it has played: it plays silently until the first frame
// arrives, then pauses at the start again.
void PreviewPlayerWidget::startPosterFrame() {
    hasShownPosterFrame_ = true;
    isShowingPosterFrame_ = true;
    audio_->setMuted(true);
    player_->play();
}

void PreviewPlayerWidget::finishPosterFrame(bool returnToStart) {
    if (!isShowingPosterFrame_) {
        return;
    }
    isShowingPosterFrame_ = false;
    if (returnToStart && player_) {
        player_->pause();
        player_->setPosition(0);
    }
    audio_->setMuted(muteButton_->isChecked());
    refreshPlaying();
    refreshControls();
}

void PreviewPlayerWidget::togglePlayback() {
    if (!player_) {
        return;
    }
    finishPosterFrame(false);
    if (player_->playbackState() == QMediaPlayer::PlayingState) {
        player_->pause();
    } else {
        player_->play();
    }
}

void PreviewPlayerWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && player_) {
        togglePlayback();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PreviewPlayerWidget::refreshPlaying() {
    const bool playing = isPlaying();
    if (playing != wasPlaying_) {
        wasPlaying_ = playing;
        emit playingChanged(playing);
    }
}

void PreviewPlayerWidget::refreshControls() {
    const bool hasPlayer = player_ != nullptr;
    const bool playing = isPlaying();
    playButton_->setEnabled(hasPlayer);
    // Our own symbols in the palette's colour: legible on light and dark palettes alike.
    const QColor symbolColour = palette().color(QPalette::ButtonText);
    playButton_->setIcon(symbolIcon(playing ? Symbol::pause : Symbol::play, symbolColour));
    playButton_->setAccessibleName(playing ? tr("Pause") : tr("Play"));
    playButton_->setToolTip(playButton_->accessibleName());

    const qint64 duration = hasPlayer ? std::max<qint64>(player_->duration(), 0) : 0;
    const qint64 position = hasPlayer ? std::clamp<qint64>(player_->position(), 0, duration) : 0;
    positionSlider_->setEnabled(hasPlayer && duration > 0);
    positionSlider_->setRange(0, static_cast<int>(std::min<qint64>(duration, INT_MAX)));
    if (!positionSlider_->isSliderDown()) {
        positionSlider_->setValue(static_cast<int>(std::min<qint64>(position, INT_MAX)));
    }
    timeLabel_->setText(previewTimeText(static_cast<double>(position) / 1000.0) +
                        QStringLiteral(" / ") +
                        previewTimeText(static_cast<double>(duration) / 1000.0));

    const bool canSound = hasAudioOutput();
    const bool muted = muteButton_->isChecked();
    muteButton_->setEnabled(canSound);
    muteButton_->setIcon(symbolIcon(muted || !canSound ? Symbol::speakerMuted : Symbol::speaker,
                                    canSound ? symbolColour : secondaryColor(palette())));
    muteButton_->setAccessibleName(muted ? tr("Unmute") : tr("Mute"));
    muteButton_->setToolTip(canSound ? muteButton_->accessibleName()
                                     : tr("No audio output device"));
}

}  // namespace skelder::ui
