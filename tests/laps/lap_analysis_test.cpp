#include "laps/lap_analysis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <stop_token>
#include <string>

#include "core/cancellation.hpp"
#include "tests/support/circuit_drive.hpp"

namespace skelder::laps {
namespace {

using testing::CircuitDrive;
using Point = std::complex<double>;

// Signed distance from a to b round a circuit of the given length, in (-length/2, length/2].
double aroundCircuit(double a, double b, double length) {
    const double d = std::fmod(b - a, length);
    return d > length / 2 ? d - length : (d <= -length / 2 ? d + length : d);
}

// Where on the circuit the analysis put the line: the mean place of its crossings.
double linePlace(const CircuitDrive& drive, const LapAnalysis& analysis) {
    const double length = drive.circuitLengthMetres();
    const double first = drive.circuitMetresAt(analysis.crossings.front().seconds);
    double sum = 0;
    for (const LineCrossing& crossing : analysis.crossings)
        sum += aroundCircuit(first, drive.circuitMetresAt(crossing.seconds), length);
    return first + sum / static_cast<double>(analysis.crossings.size());
}

// The points of a closed outline at even steps along it.
std::vector<Point> evenlySpaced(const std::vector<Point>& outline, std::size_t count) {
    std::vector<double> along{0};
    for (std::size_t i = 1; i < outline.size(); ++i)
        along.push_back(along.back() + std::abs(outline[i] - outline[i - 1]));
    std::vector<Point> points;
    std::size_t i = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double at = along.back() * static_cast<double>(k) / static_cast<double>(count);
        while (i + 2 < along.size() && along[i + 1] < at)
            ++i;
        const double u = (at - along[i]) / std::max(along[i + 1] - along[i], 1e-9);
        points.push_back(outline[i] + u * (outline[i + 1] - outline[i]));
    }
    return points;
}

// The largest distance between the map and the circuit's centre line after the best rotation,
// scale and shift of the map (no mirror image), as a share of the lap; both start at the line.
double mapError(const CircuitDrive& drive, const LapAnalysis& analysis, double line) {
    std::vector<Point> circuit;
    const auto outline = drive.outline();
    const std::size_t metres = outline.size() - 1;
    const auto start =
        static_cast<std::size_t>(std::lround(std::fmod(line, drive.circuitLengthMetres())));
    for (std::size_t i = 0; i <= metres; ++i) {
        const auto& [x, y] = outline[(start + i) % metres];
        circuit.emplace_back(x, y);
    }
    std::vector<Point> map;
    for (const MapPoint& point : analysis.map)
        map.emplace_back(point.x, point.y);
    const std::size_t count = 1000;
    std::vector<Point> a = evenlySpaced(map, count);
    std::vector<Point> b = evenlySpaced(circuit, count);
    Point meanA = 0;
    Point meanB = 0;
    for (std::size_t k = 0; k < count; ++k) {
        meanA += a[k] / static_cast<double>(count);
        meanB += b[k] / static_cast<double>(count);
    }
    Point product = 0;
    double norm = 0;
    for (std::size_t k = 0; k < count; ++k) {
        product += std::conj(a[k] - meanA) * (b[k] - meanB);
        norm += std::norm(a[k] - meanA);
    }
    const Point fit = product / norm;
    double worst = 0;
    for (std::size_t k = 0; k < count; ++k)
        worst = std::max(worst, std::abs(b[k] - meanB - fit * (a[k] - meanA)));
    return worst / drive.circuitLengthMetres();
}

// The moments the car passed a place of the circuit, from the start to the end of the drive.
std::vector<double> passages(const CircuitDrive& drive, double place) {
    const double length = drive.circuitLengthMetres();
    std::vector<double> times;
    const double first = place + length * std::ceil((drive.circuitMetresAt(0) - place) / length);
    for (double at = first; at <= drive.circuitMetresAt(drive.endSeconds()); at += length)
        times.push_back(drive.secondsAtCircuitMetres(at));
    return times;
}

struct Session {
    std::string name;
    testing::Circuit (*circuit)();
    testing::DriveOptions options;
};

void PrintTo(const Session& session, std::ostream* out) {
    *out << session.name;
}

class LapsOfASession : public ::testing::TestWithParam<Session> {};

// Every complete lap found and none invented, every crossing at one place of the circuit, the
// times of the laps as the car drove them at that place, the fastest marked and the circuit's
// shape, on sessions drivers bring home.
TEST_P(LapsOfASession, AreFoundTimedAndMapped) {
    const CircuitDrive drive(GetParam().circuit(), GetParam().options);
    const LapAnalysis analysis = analyseLaps(drive.grid());
    ASSERT_FALSE(analysis.noLaps) << noLapsText(*analysis.noLaps);
    const double length = drive.circuitLengthMetres();
    EXPECT_NEAR(analysis.lapLengthMetres, length, 0.01 * length);

    const double line = linePlace(drive, analysis);
    for (const LineCrossing& crossing : analysis.crossings) {
        EXPECT_LT(std::abs(aroundCircuit(line, drive.circuitMetresAt(crossing.seconds), length)),
                  3.0)
            << "crossing at " << crossing.seconds << " s";
    }
    const std::vector<double> truth = passages(drive, line);
    ASSERT_EQ(analysis.laps.size() + 1, truth.size());
    const Lap* fastest = &analysis.laps.front();
    for (std::size_t k = 0; k < analysis.laps.size(); ++k) {
        const Lap& lap = analysis.laps[k];
        EXPECT_EQ(lap.number, static_cast<int>(k) + 1);
        EXPECT_NEAR(lap.timeSeconds(), truth[k + 1] - truth[k], 0.05) << "lap " << lap.number;
        if (lap.timeSeconds() < fastest->timeSeconds())
            fastest = &lap;
    }
    EXPECT_EQ(analysis.bestLap(), fastest);
    ASSERT_TRUE(analysis.outLap && analysis.inLap);
    EXPECT_EQ(analysis.outLap->endSeconds, analysis.laps.front().startSeconds);
    EXPECT_EQ(analysis.inLap->startSeconds, analysis.laps.back().endSeconds);
    EXPECT_LT(mapError(drive, analysis, line), 0.015);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, LapsOfASession,
    ::testing::Values(
        Session{"GrandPrixFromAPitExitJustBeforeTheLine",
                testing::grandPrixCircuit,
                {.startMetres = 2900, .flyingLaps = 3}},
        Session{"ClubCircuitOfFortySecondLaps", testing::clubCircuit, {.flyingLaps = 6}},
        // Half a lap matches itself almost as well as a whole one.
        Session{"OvalWhoseHalvesLookAlike", testing::nearlySymmetricOval, {.flyingLaps = 5}},
        Session{"LongCircuitOfTwoMinuteLaps",
                testing::longCircuit,
                {.startMetres = 2500, .flyingLaps = 2}},
        Session{"TiltedRecorderAndASpin",
                testing::grandPrixCircuit,
                {.flyingLaps = 3, .lateralOffsetMps2 = 0.4, .spinAtSeconds = 140.0}},
        Session{"StopMidLapNoisyAndWandering",
                testing::clubCircuit,
                {.flyingLaps = 5,
                 .paceSpreadPerLap = 0.06,
                 .lineSpread = 0.008,
                 .noiseMps2 = 0.6,
                 .stopAtSeconds = 100.0,
                 .seed = 4}}),
    [](const ::testing::TestParamInfo<Session>& info) { return info.param.name; });

TEST(Laps, ARoadThatNeverComesBackHasNone) {
    const CircuitDrive drive(testing::road(), {.openRoad = true});
    const LapAnalysis analysis = analyseLaps(drive.grid());
    ASSERT_TRUE(analysis.noLaps);
    EXPECT_EQ(noLapsText(*analysis.noLaps),
              "the drive never comes back on itself (a road, a hill climb or an autocross)");
    EXPECT_TRUE(analysis.laps.empty());
    EXPECT_TRUE(analysis.map.empty());
}

TEST(Laps, AShortDriveHasNone) {
    const CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 0, .inLap = false});
    const LapAnalysis analysis = analyseLaps(drive.grid());
    ASSERT_TRUE(analysis.noLaps);
    EXPECT_EQ(noLapsText(*analysis.noLaps), "the recording is too short to hold two laps");
    EXPECT_TRUE(analyseLaps(DecisecondGrid{}).noLaps);
}

// The driver puts the line where the car was at a moment: that passage is at that moment and
// every other one at the same place.
TEST(Laps, TheLineGoesWhereTheCarWasAtTheChosenMoment) {
    const CircuitDrive drive(testing::grandPrixCircuit(), {.flyingLaps = 3});
    const double chosen = 150.0;
    const LapAnalysis analysis = analyseLaps(drive.grid(), {.lineAtSeconds = chosen});
    ASSERT_FALSE(analysis.noLaps);
    const auto nearest =
        std::min_element(analysis.crossings.begin(), analysis.crossings.end(),
                         [&](const LineCrossing& a, const LineCrossing& b) {
                             return std::abs(a.seconds - chosen) < std::abs(b.seconds - chosen);
                         });
    EXPECT_NEAR(nearest->seconds, chosen, 0.02);
    const double length = drive.circuitLengthMetres();
    for (const LineCrossing& crossing : analysis.crossings) {
        EXPECT_LT(std::abs(aroundCircuit(drive.circuitMetresAt(chosen),
                                         drive.circuitMetresAt(crossing.seconds), length)),
                  3.0);
    }
    EXPECT_EQ(analysis.laps.size() + 1, passages(drive, drive.circuitMetresAt(chosen)).size());
}

TEST(Laps, AStopRequestEndsTheAnalysis) {
    const CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 2});
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(analyseLaps(drive.grid(), {}, stop.get_token()), CancellationError);
}

}  // namespace
}  // namespace skelder::laps
