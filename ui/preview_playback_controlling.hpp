#pragma once

#include <cstdint>
#include <functional>

#include "media/media_time.hpp"

namespace skelder::ui {

// What the preview clip controller needs of a media player. Every operation and every callback
// runs on the thread that owns the player (the GUI thread); a callback never runs inside the
// call that registered it.
class PreviewPlaybackControlling {
  public:
    using ObserverToken = std::uint64_t;

    virtual ~PreviewPlaybackControlling() = default;

    virtual void pause() = 0;
    virtual void play() = 0;
    // Moves to `time`, allowing the given tolerances before and after it (zero for an exact
    // seek). `completion` receives whether the seek finished; a seek that a later one
    // interrupts reports false.
    virtual void seek(media::MediaTime time, media::MediaTime toleranceBefore,
                      media::MediaTime toleranceAfter,
                      std::function<void(bool finished)> completion) = 0;
    // Calls `callback` with the current time every `interval` while the player plays, until
    // the returned token is removed.
    virtual ObserverToken addPeriodicTimeObserver(
        media::MediaTime interval, std::function<void(media::MediaTime)> callback) = 0;
    // Removing an unknown or already removed token does nothing.
    virtual void removeTimeObserver(ObserverToken token) = 0;
};

}  // namespace skelder::ui
