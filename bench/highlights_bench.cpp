// Scoring and planning of a three-hour recording (10,800 one-second buckets). Target: under
// 5 ms for scoring plus planning in one mode on a 2-core machine.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "highlights/planning.hpp"
#include "highlights/scoring.hpp"
#include "highlights/tiers.hpp"

namespace {

using namespace skelder;

constexpr int kThreeHours = 3 * 60 * 60;

// Laps of about 95 s: straights at full throttle, braking zones, corners of varied severity
// and sensor noise; a pit stop with idling every 25 minutes.
std::vector<TimestampedFeatureBucket> threeHourDrive() {
    std::mt19937 random(42);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> severity(0.4, 1.5);
    std::vector<TimestampedFeatureBucket> buckets;
    buckets.reserve(kThreeHours);
    double cornerG = severity(random);
    for (int second = 0; second < kThreeHours; ++second) {
        const int lapSecond = second % 95;
        if (lapSecond == 0)
            cornerG = severity(random);
        FeatureBucket b;
        b.sampleCount = 470;
        if (second % 1500 < 90) {  // pit stop
            b.rpmMax = 850 + 20 * noise(random);
            buckets.push_back({second, b});
            continue;
        }
        const double phase = lapSecond / 95.0;
        const bool straight = lapSecond % 24 < 11;
        const bool braking = lapSecond % 24 >= 11 && lapSecond % 24 < 14;
        b.throttleMax = straight  ? std::min(1.0, 0.97 + 0.03 * std::fabs(noise(random)))
                        : braking ? 0.0
                                  : std::clamp(0.45 + 0.2 * noise(random), 0.0, 1.0);
        b.brakeMax = braking ? std::clamp(0.7 + 0.1 * noise(random), 0.0, 1.0) : 0.0;
        b.speedMaxMps =
            25 + 20 * std::sin(2 * std::numbers::pi * phase) + (straight ? lapSecond % 24 : 0);
        b.rpmMax = 3500 + 2500 * (straight ? (lapSecond % 24) / 11.0 : 0.4) + 100 * noise(random);
        b.latAbsMaxG = std::fabs((straight ? 0.1 : cornerG) + 0.05 * noise(random));
        b.lonAbsMaxG = std::fabs((braking ? 0.9 : straight ? 0.35 : 0.15) + 0.05 * noise(random));
        buckets.push_back({second, b});
    }
    return buckets;
}

const std::vector<TimestampedFeatureBucket>& drive() {
    static const auto buckets = threeHourDrive();
    return buckets;
}

std::vector<FeatureBucket> plainBuckets() {
    std::vector<FeatureBucket> plain;
    for (const auto& timestamped : drive())
        plain.push_back(timestamped.bucket);
    return plain;
}

void BM_Score(benchmark::State& state, HighlightFilterMode mode) {
    const auto buckets = plainBuckets();
    for (auto _ : state)
        benchmark::DoNotOptimize(scoreHighlightSeconds(buckets, mode));
}

void BM_Plan(benchmark::State& state, HighlightFilterMode mode) {
    const auto scores = scoreHighlightSeconds(plainBuckets(), mode);
    std::size_t segments = 0;
    for (auto _ : state) {
        const auto plan = planHighlightSegments(drive(), scores, mode);
        segments = plan.size();
        benchmark::DoNotOptimize(plan);
    }
    state.counters["segments"] = static_cast<double>(segments);
}

// What building one session costs apart from extraction: copying the buckets out, scoring,
// planning and the debug table.
void BM_ScoreAndPlan(benchmark::State& state, HighlightFilterMode mode) {
    for (auto _ : state) {
        std::vector<FeatureBucket> buckets;
        buckets.reserve(drive().size());
        for (const auto& timestamped : drive())
            buckets.push_back(timestamped.bucket);
        const auto scores = scoreHighlightSeconds(buckets, mode);
        const auto plan = planHighlightSegments(drive(), scores, mode);
        benchmark::DoNotOptimize(highlightDebugLines(plan));
    }
    state.counters["buckets"] = static_cast<double>(drive().size());
}

// Both modes and their merge, as a "maybeInteresting" analysis does.
void BM_TieredAnalysis(benchmark::State& state) {
    const auto buckets = plainBuckets();
    for (auto _ : state) {
        TelemetrySession lenient, strict;
        for (auto [mode, session] : {std::pair{HighlightFilterMode::maybeInteresting, &lenient},
                                     std::pair{HighlightFilterMode::onlyBest, &strict}}) {
            const auto scores = scoreHighlightSeconds(buckets, mode);
            for (const auto& segment : planHighlightSegments(drive(), scores, mode))
                session->highlightSegments.push_back(PlannedSegment::from(segment));
        }
        benchmark::DoNotOptimize(mergeTieredSegments(lenient, strict));
    }
}

BENCHMARK_CAPTURE(BM_Score, onlyBest, HighlightFilterMode::onlyBest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plan, onlyBest, HighlightFilterMode::onlyBest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScoreAndPlan, onlyBest, HighlightFilterMode::onlyBest)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScoreAndPlan, maybeInteresting, HighlightFilterMode::maybeInteresting)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TieredAnalysis)->Unit(benchmark::kMillisecond);

}  // namespace
