#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "highlights/segments.hpp"
#include "ui/preview_playback_controlling.hpp"

namespace skelder::ui {

// Plays one highlight (or lap) at a time in the preview: seeks to its first second, plays, and
// stops at the end of its last second. Every request raises a generation number; a seek completion
// or an observer tick of an older request does nothing, so a new click takes over at once.
//
// The player and the controller's state are held weakly by the callbacks: a released player or
// controller ends the clip silently.
class PreviewClipPlaybackController {
  public:
    PreviewClipPlaybackController();
    ~PreviewClipPlaybackController();
    PreviewClipPlaybackController(const PreviewClipPlaybackController&) = delete;
    PreviewClipPlaybackController& operator=(const PreviewClipPlaybackController&) = delete;

    // Plays [startSecond, max(startSecond, endSecond) + 1) of the segment. `onStart` receives
    // the start time before the seek begins (the caller moves its playhead there).
    void playSegment(const PlannedSegment& segment,
                     const std::shared_ptr<PreviewPlaybackControlling>& player,
                     const std::function<void(media::MediaTime start)>& onStart = {});

    // Plays [max(startSeconds, 0), max(endSeconds, start)) of the picture the same way (a lap,
    // crossing to crossing), to the 600th of a second.
    void playRange(double startSeconds, double endSeconds,
                   const std::shared_ptr<PreviewPlaybackControlling>& player,
                   const std::function<void(media::MediaTime start)>& onStart = {});

    // Ends the current clip without pausing the player (the caller pauses it): its seek
    // completion and stop observer will do nothing, and the stop observer is taken off the
    // player it was added to when that player still exists.
    void cancel();

    std::int64_t playbackGeneration() const;
    bool hasStopObserver() const;

  private:
    struct State;
    void play(media::MediaTime start, media::MediaTime end,
              const std::shared_ptr<PreviewPlaybackControlling>& player,
              const std::function<void(media::MediaTime start)>& onStart);
    static void removeStopObserver(State& state);

    std::shared_ptr<State> state_;
};

}  // namespace skelder::ui
