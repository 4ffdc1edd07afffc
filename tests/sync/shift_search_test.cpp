#include "sync/shift_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

#include "core/cancellation.hpp"

namespace skelder::sync {
namespace {

using RpmCurve = std::function<double(double seconds)>;

// Engine speed that never repeats: random levels every 0.3 s (the same every run), joined by
// smooth half-cosine steps.
double wanderingRpm(double t) {
    static const std::vector<double> levels = [] {
        std::mt19937 random(11);
        std::uniform_real_distribution<double> rpm(2500, 7500);
        std::vector<double> values(300);
        for (double& value : values)
            value = rpm(random);
        return values;
    }();
    const double knots = std::clamp(t / 0.3, 0.0, static_cast<double>(levels.size() - 2));
    const auto index = static_cast<std::size_t>(knots);
    const double blend = 0.5 - 0.5 * std::cos(std::numbers::pi * (knots - index));
    return levels[index] + blend * (levels[index + 1] - levels[index]);
}

// Engine speed that repeats every 0.8 s: shifts of a whole period line up equally well.
double repeatingRpm(double t) {
    return 4500 + 1500 * std::sin(2 * std::numbers::pi * t / 0.8);
}

// The telemetry's decisecond grid of a curve, and the pitch changes of a sound running
// `advanceSeconds` behind the telemetry's time (so that advance lines them up), taken straight
// from the curve every 10 ms over [from, to).
AnalysedStretch stretchOf(const RpmCurve& rpm, double advanceSeconds, double from, double to,
                          DecisecondGrid& grid) {
    std::vector<OverlayTelemetrySample> samples;
    for (int tick = 0; tick <= 600; ++tick)
        samples.push_back({.rpm = rpm(tick / 10.0)});
    grid = DecisecondGrid(0, std::move(samples));
    std::vector<PitchChange> changes;
    const double half = kPitchChangeSpanSeconds / 2;
    for (double t = from; t < to; t += kPitchFrameSeconds) {
        const double at = t + advanceSeconds;
        changes.push_back({t, std::log(rpm(at + half)) - std::log(rpm(at - half)), 1.0});
    }
    return {std::move(changes), SmoothedLogRpm(grid, 0, 60, std::vector<double>{1.0})};
}

TEST(ShiftSearch, FindsTheAdvanceToTheMillisecondAcrossTheRange) {
    for (const double advance : {-1.2, -0.437, 0.0, 0.25, 0.913, 1.4}) {
        SCOPED_TRACE(advance);
        DecisecondGrid grid;
        const std::vector<AnalysedStretch> stretches{
            stretchOf(wanderingRpm, advance, 10, 30, grid)};
        const ShiftSearchResult result = searchBestShift(stretches, 1.5, {}).value();
        // The grid holds a value every decisecond and is read linearly between them, so the
        // best match may sit a few milliseconds off the curve's own.
        EXPECT_NEAR(result.offsetSeconds, advance, 0.005);
        EXPECT_DOUBLE_EQ(result.offsetSeconds * 1000, std::round(result.offsetSeconds * 1000));
        EXPECT_GT(result.peakCorrelation, 0.95);
        EXPECT_LT(result.runnerUpCorrelation, 0.7);
        EXPECT_FALSE(result.peakAtRangeEnd);
        EXPECT_EQ(result.correlations.size(), 301u);
    }
}

TEST(ShiftSearch, AScheduleThatRepeatsLeavesAStrongRunnerUp) {
    DecisecondGrid grid;
    const std::vector<AnalysedStretch> stretches{stretchOf(repeatingRpm, 0.3, 10, 30, grid)};
    const ShiftSearchResult result = searchBestShift(stretches, 1.5, {}).value();
    EXPECT_GT(result.peakCorrelation, 0.95);
    EXPECT_GT(result.runnerUpCorrelation, 0.9);
}

TEST(ShiftSearch, FindsNothingInChangesThatDoNotVaryAndStopsWhenAsked) {
    DecisecondGrid grid;
    std::vector<AnalysedStretch> stretches{stretchOf(wanderingRpm, 0, 10, 12, grid)};
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(searchBestShift(stretches, 1.5, stop.get_token()), CancellationError);
    EXPECT_THROW(searchBestShift(stretches, -1, {}), std::invalid_argument);
    // Pitch changes that do not vary line up with no shift better than with another.
    for (PitchChange& change : stretches.front().changes)
        change.logChange = 0.01;
    EXPECT_FALSE(searchBestShift(stretches, 1.5, {}).has_value());
    for (PitchChange& change : stretches.front().changes)
        change.weight = 0;
    EXPECT_FALSE(searchBestShift(stretches, 1.5, {}).has_value());
}

}  // namespace
}  // namespace skelder::sync
