#include "laps/lap_clock.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/circuit_drive.hpp"

namespace skelder::laps {
namespace {

class LapClockOfAClubSession : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        drive = std::make_unique<testing::CircuitDrive>(testing::clubCircuit(),
                                                        testing::DriveOptions{.flyingLaps = 3});
        clock = std::make_unique<LapClock>(analyseLaps(drive->grid()));
    }
    static inline std::unique_ptr<testing::CircuitDrive> drive;
    static inline std::unique_ptr<LapClock> clock;
};

// On the best lap itself the gap is nil all the way round; on another lap it grows to the
// difference of the two lap times at the line; the running time is the time since the line.
TEST_F(LapClockOfAClubSession, GapsAreToTheBestLapAtTheSamePlace) {
    const auto& laps = clock->analysis().laps;
    ASSERT_GE(laps.size(), 3u);
    for (const Lap& lap : laps) {
        for (double into = 0.05; into < lap.timeSeconds(); into += 0.37) {
            const auto reading = clock->at(lap.startSeconds + into);
            ASSERT_TRUE(reading && reading->gapSeconds);
            EXPECT_EQ(reading->kind, LapReading::Kind::lap);
            EXPECT_EQ(reading->lapNumber, lap.number);
            EXPECT_NEAR(reading->lapSeconds, into, 1e-9);
            if (lap.best) {
                EXPECT_NEAR(*reading->gapSeconds, 0, 0.005) << into << " s into lap " << lap.number;
            }
        }
        const auto end = clock->at(lap.endSeconds - 0.001);
        EXPECT_NEAR(*end->gapSeconds,
                    lap.timeSeconds() - clock->analysis().bestLap()->timeSeconds(), 0.01);
        EXPECT_NEAR(end->share, 1, 0.001);
        EXPECT_NEAR(*end->bestShare, 1, 0.03);
    }
    const auto second = clock->at(laps[1].startSeconds + 1);
    EXPECT_DOUBLE_EQ(*second->lastLapSeconds, laps[0].timeSeconds());
    EXPECT_DOUBLE_EQ(*second->bestLapSeconds, clock->analysis().bestLap()->timeSeconds());
    EXPECT_FALSE(clock->at(laps[0].startSeconds + 1)->lastLapSeconds);
}

// Out-lap and in-lap: their running time and their place on the map, no gap.
TEST_F(LapClockOfAClubSession, PartialLapsHaveATimerAndAPlaceButNoGap) {
    const LapAnalysis& analysis = clock->analysis();
    const auto out = clock->at(analysis.outLap->endSeconds - 5);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->kind, LapReading::Kind::outLap);
    EXPECT_NEAR(out->lapSeconds, analysis.outLap->endSeconds - 5 - analysis.outLap->startSeconds,
                1e-9);
    EXPECT_FALSE(out->gapSeconds);
    EXPECT_GT(out->share, 0.7);  // a few seconds before the line
    const auto in = clock->at(analysis.inLap->startSeconds + 5);
    EXPECT_EQ(in->kind, LapReading::Kind::inLap);
    EXPECT_NEAR(in->lapSeconds, 5, 1e-9);
    EXPECT_LT(in->share, 0.3);
    EXPECT_FALSE(clock->at(analysis.inLap->endSeconds + 1));
}

// The car's dot follows the map: at the line it is the map's first point, half a lap on it
// is half the outline away.
TEST_F(LapClockOfAClubSession, TheMapPointFollowsTheShareAlongTheOutline) {
    const auto& map = clock->analysis().map;
    const MapPoint start = clock->mapPointAt(0);
    EXPECT_DOUBLE_EQ(start.x, map.front().x);
    EXPECT_DOUBLE_EQ(start.y, map.front().y);
    double length = 0;
    for (std::size_t i = 1; i < map.size(); ++i)
        length += std::hypot(map[i].x - map[i - 1].x, map[i].y - map[i - 1].y);
    EXPECT_NEAR(length, drive->circuitLengthMetres(), 0.02 * drive->circuitLengthMetres());
    double along = 0;
    std::size_t i = 1;
    while (along + std::hypot(map[i].x - map[i - 1].x, map[i].y - map[i - 1].y) < length / 2) {
        along += std::hypot(map[i].x - map[i - 1].x, map[i].y - map[i - 1].y);
        ++i;
    }
    const MapPoint half = clock->mapPointAt(0.5);
    EXPECT_LT(std::hypot(half.x - map[i].x, half.y - map[i].y), 0.01 * length);
}

}  // namespace
}  // namespace skelder::laps
