#include "ui/media_player_playback.hpp"

#include <cmath>

namespace skelder::ui {

MediaPlayerPlayback::MediaPlayerPlayback(QMediaPlayer* player, QObject* parent)
    : QObject(parent), player_(player) {
    if (!player_) {
        return;
    }
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this] { updateObserverTimers(); });
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this] { applyPendingSeek(); });
}

MediaPlayerPlayback::~MediaPlayerPlayback() = default;

void MediaPlayerPlayback::pause() {
    emit controlRequested();
    if (player_) {
        player_->pause();
    }
}

void MediaPlayerPlayback::play() {
    emit controlRequested();
    if (player_) {
        player_->play();
    }
}

void MediaPlayerPlayback::seek(media::MediaTime time, media::MediaTime, media::MediaTime,
                               std::function<void(bool finished)> completion) {
    emit controlRequested();
    if (pendingSeek_) {
        deliverSeekCompletion(pendingSeek_->serial, std::move(pendingSeek_->completion), false);
        pendingSeek_.reset();
    }
    const double seconds = std::max(time.seconds(), 0.0);
    pendingSeek_ = PendingSeek{static_cast<qint64>(std::llround(seconds * 1000)), ++seekSerial_,
                               std::move(completion)};
    applyPendingSeek();
}

bool MediaPlayerPlayback::isMediaReady() const {
    switch (player_->mediaStatus()) {
        case QMediaPlayer::LoadedMedia:
        case QMediaPlayer::BufferingMedia:
        case QMediaPlayer::BufferedMedia:
        case QMediaPlayer::StalledMedia:
        case QMediaPlayer::EndOfMedia:
            return true;
        default:
            return false;
    }
}

void MediaPlayerPlayback::applyPendingSeek() {
    if (!pendingSeek_) {
        return;
    }
    if (!player_ || player_->mediaStatus() == QMediaPlayer::InvalidMedia ||
        player_->mediaStatus() == QMediaPlayer::NoMedia) {
        // Nothing to seek in: the seek did not finish.
        deliverSeekCompletion(pendingSeek_->serial, std::move(pendingSeek_->completion), false);
        pendingSeek_.reset();
        return;
    }
    if (!isMediaReady()) {
        return;  // applied when the media has loaded
    }
    PendingSeek seek = std::move(*pendingSeek_);
    pendingSeek_.reset();
    player_->setPosition(seek.positionMs);
    deliverSeekCompletion(seek.serial, std::move(seek.completion), true);
}

void MediaPlayerPlayback::deliverSeekCompletion(std::uint64_t serial,
                                                std::function<void(bool)> completion,
                                                bool applied) {
    if (!completion) {
        return;
    }
    // From the event loop, never inside seek(): a seek that another one overtook by then did
    // not finish.
    QMetaObject::invokeMethod(
        this,
        [this, serial, applied, completion = std::move(completion)] {
            completion(applied && serial == seekSerial_);
        },
        Qt::QueuedConnection);
}

PreviewPlaybackControlling::ObserverToken MediaPlayerPlayback::addPeriodicTimeObserver(
    media::MediaTime interval, std::function<void(media::MediaTime)> callback) {
    const ObserverToken token = nextToken_++;
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(std::max(1, static_cast<int>(std::lround(interval.seconds() * 1000))));
    connect(timer, &QTimer::timeout, this, [this, token] { tick(token); });
    observers_.emplace(token, Observer{timer, std::move(callback)});
    updateObserverTimers();
    return token;
}

void MediaPlayerPlayback::removeTimeObserver(ObserverToken token) {
    const auto found = observers_.find(token);
    if (found == observers_.end()) {
        return;
    }
    // May run inside the observer's own tick: the timer goes once control is back in the loop.
    found->second.timer->stop();
    found->second.timer->deleteLater();
    observers_.erase(found);
}

media::MediaTime MediaPlayerPlayback::currentTime() const {
    return {player_ ? player_->position() : 0, 1000};
}

void MediaPlayerPlayback::updateObserverTimers() {
    const bool playing = player_ && player_->playbackState() == QMediaPlayer::PlayingState;
    for (auto& [token, observer] : observers_) {
        if (playing && !observer.timer->isActive()) {
            observer.timer->start();
        } else if (!playing) {
            observer.timer->stop();
        }
    }
}

void MediaPlayerPlayback::tick(ObserverToken token) {
    const auto found = observers_.find(token);
    if (found == observers_.end() || !player_) {
        return;
    }
    // A copy: the callback may remove its own observer.
    const auto callback = found->second.callback;
    callback(currentTime());
}

}  // namespace skelder::ui
