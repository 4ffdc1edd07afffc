#pragma once

#include <QMediaPlayer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>

#include "ui/preview_playback_controlling.hpp"

namespace skelder::ui {

// PreviewPlaybackControlling over a QMediaPlayer (which it does not own).
//
// Seeks are exact to the millisecond: the player shows the first frame that starts at or after
// the position, so a whole-second seek lands on the frame of that second. A seek asked for while
// the media is still loading waits for it; its completion is delivered from the event loop and
// reports false when a later seek (or a failed load) came first. Observers tick on a timer while
// the player plays.
class MediaPlayerPlayback final : public QObject, public PreviewPlaybackControlling {
    Q_OBJECT

  public:
    explicit MediaPlayerPlayback(QMediaPlayer* player, QObject* parent = nullptr);
    ~MediaPlayerPlayback() override;

    void pause() override;
    void play() override;
    void seek(media::MediaTime time, media::MediaTime toleranceBefore,
              media::MediaTime toleranceAfter,
              std::function<void(bool finished)> completion) override;
    ObserverToken addPeriodicTimeObserver(media::MediaTime interval,
                                          std::function<void(media::MediaTime)> callback) override;
    void removeTimeObserver(ObserverToken token) override;

    QMediaPlayer* player() const { return player_; }
    // The player's position (time scale 1000).
    media::MediaTime currentTime() const;

  signals:
    // Any play, pause or seek asked through this interface (the preview widget stops showing
    // its poster frame then).
    void controlRequested();

  private:
    struct Observer {
        QTimer* timer = nullptr;
        std::function<void(media::MediaTime)> callback;
    };
    struct PendingSeek {
        qint64 positionMs = 0;
        std::uint64_t serial = 0;
        std::function<void(bool)> completion;
    };

    bool isMediaReady() const;
    void applyPendingSeek();
    void deliverSeekCompletion(std::uint64_t serial, std::function<void(bool)> completion,
                               bool applied);
    void updateObserverTimers();
    void tick(ObserverToken token);

    QPointer<QMediaPlayer> player_;
    std::map<ObserverToken, Observer> observers_;
    ObserverToken nextToken_ = 1;
    std::uint64_t seekSerial_ = 0;
    std::optional<PendingSeek> pendingSeek_;
};

}  // namespace skelder::ui
