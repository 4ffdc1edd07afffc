#include "ui/preview_clip_playback_controller.hpp"

#include <algorithm>
#include <cmath>

namespace skelder::ui {
namespace {

constexpr std::int32_t kTimescale = 600;
constexpr media::MediaTime kZeroTolerance{0, kTimescale};
constexpr media::MediaTime kStopObserverInterval{30, kTimescale};  // 0.05 s

}  // namespace

struct PreviewClipPlaybackController::State {
    std::int64_t playbackGeneration = 0;
    std::optional<PreviewPlaybackControlling::ObserverToken> stopObserver;
    std::weak_ptr<PreviewPlaybackControlling> stopObserverPlayer;
};

PreviewClipPlaybackController::PreviewClipPlaybackController()
    : state_(std::make_shared<State>()) {}

PreviewClipPlaybackController::~PreviewClipPlaybackController() {
    cancel();
}

void PreviewClipPlaybackController::removeStopObserver(State& state) {
    if (!state.stopObserver) {
        return;
    }
    if (auto player = state.stopObserverPlayer.lock()) {
        player->removeTimeObserver(*state.stopObserver);
    }
    state.stopObserver.reset();
    state.stopObserverPlayer.reset();
}

void PreviewClipPlaybackController::playSegment(
    const PlannedSegment& segment, const std::shared_ptr<PreviewPlaybackControlling>& player,
    const std::function<void(media::MediaTime start)>& onStart) {
    const std::int64_t startSecond = std::max<std::int64_t>(segment.startSecond, 0);
    const std::int64_t endSecond =
        std::max(std::max(segment.startSecond, segment.endSecond) + 1, startSecond);
    play({startSecond * kTimescale, kTimescale}, {endSecond * kTimescale, kTimescale}, player,
         onStart);
}

void PreviewClipPlaybackController::playRange(
    double startSeconds, double endSeconds,
    const std::shared_ptr<PreviewPlaybackControlling>& player,
    const std::function<void(media::MediaTime start)>& onStart) {
    const double from = std::isfinite(startSeconds) ? std::max(startSeconds, 0.0) : 0.0;
    const double to = std::isfinite(endSeconds) ? std::max(endSeconds, from) : from;
    play(media::MediaTime::fromSeconds(from, kTimescale),
         media::MediaTime::fromSeconds(to, kTimescale), player, onStart);
}

void PreviewClipPlaybackController::play(
    media::MediaTime start, media::MediaTime end,
    const std::shared_ptr<PreviewPlaybackControlling>& player,
    const std::function<void(media::MediaTime start)>& onStart) {
    const std::int64_t generation = ++state_->playbackGeneration;
    removeStopObserver(*state_);
    if (!player) {
        return;
    }
    player->pause();
    if (onStart) {
        onStart(start);
    }

    const std::weak_ptr<State> weakState = state_;
    const std::weak_ptr<PreviewPlaybackControlling> weakPlayer = player;
    player->seek(start, kZeroTolerance, kZeroTolerance, [=](bool finished) {
        const auto state = weakState.lock();
        const auto player = weakPlayer.lock();
        if (!finished || !state || !player || state->playbackGeneration != generation) {
            return;
        }
        state->stopObserver =
            player->addPeriodicTimeObserver(kStopObserverInterval, [=](media::MediaTime current) {
                const auto state = weakState.lock();
                const auto player = weakPlayer.lock();
                if (!state || !player || state->playbackGeneration != generation || current < end) {
                    return;
                }
                player->pause();
                player->seek(end, kZeroTolerance, kZeroTolerance, [](bool) {});
                removeStopObserver(*state);
            });
        state->stopObserverPlayer = player;
        player->play();
    });
}

void PreviewClipPlaybackController::cancel() {
    ++state_->playbackGeneration;
    removeStopObserver(*state_);
}

std::int64_t PreviewClipPlaybackController::playbackGeneration() const {
    return state_->playbackGeneration;
}

bool PreviewClipPlaybackController::hasStopObserver() const {
    return state_->stopObserver.has_value();
}

}  // namespace skelder::ui
