#include "ui/preview_clip_playback_controller.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace skelder::ui {
namespace {

using media::MediaTime;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string secondsText(MediaTime time) {
    return std::to_string(time.value) + "/" + std::to_string(time.timescale);
}

// Records every call; the test decides when seeks complete and observers tick.
class FakePlayer : public PreviewPlaybackControlling {
  public:
    void pause() override { calls.push_back("pause"); }
    void play() override { calls.push_back("play"); }
    void seek(MediaTime time, MediaTime before, MediaTime after,
              std::function<void(bool)> completion) override {
        calls.push_back("seek " + secondsText(time) + " tolerance " + secondsText(before) + " " +
                        secondsText(after));
        seeks.push_back(std::move(completion));
    }
    ObserverToken addPeriodicTimeObserver(MediaTime interval,
                                          std::function<void(MediaTime)> callback) override {
        const ObserverToken token = nextToken++;
        calls.push_back("observe every " + secondsText(interval) + " as " + std::to_string(token));
        observers[token] = std::move(callback);
        everyObserver[token] = observers[token];
        return token;
    }
    void removeTimeObserver(ObserverToken token) override {
        calls.push_back("remove " + std::to_string(token));
        observers.erase(token);
    }

    // Ticks every observer still installed.
    void tick(double seconds) {
        const auto installed = observers;
        for (const auto& [token, callback] : installed) {
            if (observers.count(token) != 0)
                callback(MediaTime::fromSeconds(seconds));
        }
    }

    std::vector<std::string> calls;
    std::vector<std::function<void(bool)>> seeks;
    std::map<ObserverToken, std::function<void(MediaTime)>> observers;
    // Every observer ever added, also removed ones: a late tick of a removed observer.
    std::map<ObserverToken, std::function<void(MediaTime)>> everyObserver;
    ObserverToken nextToken = 1;
};

PlannedSegment segment(std::int64_t start, std::int64_t end) {
    return {start, end, end - start + 1, 5.0, 1.0, 2.0};
}

class PreviewClipPlaybackControllerTest : public ::testing::Test {
  protected:
    std::shared_ptr<FakePlayer> player = std::make_shared<FakePlayer>();
    PreviewClipPlaybackController controller;
    std::vector<std::string> starts;

    void playSegment(std::int64_t start, std::int64_t end) {
        controller.playSegment(segment(start, end), player, [this](MediaTime startTime) {
            starts.push_back(secondsText(startTime));
            player->calls.push_back("start callback");
        });
    }
};

TEST_F(PreviewClipPlaybackControllerTest, PausesSeeksExactlyThenObservesPlaysAndStopsAtTheEnd) {
    playSegment(12, 15);
    EXPECT_EQ(controller.playbackGeneration(), 1);
    EXPECT_THAT(player->calls,
                ElementsAre("pause", "start callback", "seek 7200/600 tolerance 0/600 0/600"));
    EXPECT_THAT(starts, ElementsAre("7200/600"));

    player->calls.clear();
    player->seeks.at(0)(true);
    EXPECT_THAT(player->calls, ElementsAre("observe every 30/600 as 1", "play"));
    EXPECT_TRUE(controller.hasStopObserver());

    // It stops at the end of the last second.
    player->calls.clear();

    player->tick(13.0);
    player->tick(15.99);
    EXPECT_THAT(player->calls, IsEmpty());

    player->tick(16.0);
    EXPECT_THAT(player->calls,
                ElementsAre("pause", "seek 9600/600 tolerance 0/600 0/600", "remove 1"));
    EXPECT_FALSE(controller.hasStopObserver());
}

TEST_F(PreviewClipPlaybackControllerTest, ASecondClickStopsTheFirstClipAtOnce) {
    playSegment(12, 15);
    player->seeks.at(0)(true);
    player->calls.clear();

    playSegment(40, 44);
    EXPECT_THAT(player->calls, ElementsAre("remove 1", "pause", "start callback",
                                           "seek 24000/600 tolerance 0/600 0/600"));

    // A tick of the first clip's observer that was already on its way does nothing.
    player->calls.clear();
    player->everyObserver.at(1)(MediaTime::fromSeconds(20));
    EXPECT_THAT(player->calls, IsEmpty());

    // The second clip runs to its own end.
    player->seeks.at(1)(true);
    player->tick(45.0);
    EXPECT_THAT(player->calls, ElementsAre("observe every 30/600 as 2", "play", "pause",
                                           "seek 27000/600 tolerance 0/600 0/600", "remove 2"));
}

TEST_F(PreviewClipPlaybackControllerTest, AnOlderOrUnfinishedSeekCompletionDoesNothing) {
    playSegment(12, 15);
    playSegment(40, 44);
    player->calls.clear();

    player->seeks.at(0)(true);  // the first seek completes after the second request
    EXPECT_THAT(player->calls, IsEmpty());
    EXPECT_FALSE(controller.hasStopObserver());

    player->seeks.at(1)(true);
    EXPECT_THAT(player->calls, ElementsAre("observe every 30/600 as 1", "play"));

    // An unfinished seek neither observes nor plays.
    playSegment(50, 55);
    player->calls.clear();
    player->seeks.at(2)(false);
    EXPECT_THAT(player->calls, IsEmpty());
    EXPECT_FALSE(controller.hasStopObserver());
}

TEST_F(PreviewClipPlaybackControllerTest, CancelEndsTheClipWithoutPausing) {
    playSegment(12, 15);
    player->seeks.at(0)(true);
    player->calls.clear();

    controller.cancel();
    EXPECT_EQ(controller.playbackGeneration(), 2);
    EXPECT_THAT(player->calls, ElementsAre("remove 1"));
    player->everyObserver.at(1)(MediaTime::fromSeconds(30));
    EXPECT_THAT(player->calls, ElementsAre("remove 1"));

    // Cancelled before its seek completes, a clip keeps the player still.
    playSegment(20, 25);
    controller.cancel();
    player->calls.clear();
    player->seeks.at(1)(true);
    EXPECT_THAT(player->calls, IsEmpty());
}

TEST_F(PreviewClipPlaybackControllerTest, AReleasedControllerOrPlayerEndsTheClipSilently) {
    auto owned = std::make_unique<PreviewClipPlaybackController>();
    owned->playSegment(segment(12, 15), player);
    auto completion = player->seeks.at(0);
    completion(true);
    auto tick = player->everyObserver.at(1);
    owned.reset();
    player->calls.clear();

    tick(MediaTime::fromSeconds(20));
    EXPECT_THAT(player->calls, IsEmpty());

    // So does a released player.
    playSegment(12, 15);
    completion = player->seeks.at(1);
    std::weak_ptr<FakePlayer> weakPlayer = player;
    player.reset();
    EXPECT_TRUE(weakPlayer.expired());
    completion(true);  // nothing to observe or play on
    EXPECT_FALSE(controller.hasStopObserver());
    controller.cancel();
}

}  // namespace
}  // namespace skelder::ui
