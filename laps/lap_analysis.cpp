#include "laps/lap_analysis.hpp"

#include <algorithm>
#include <cmath>

#include "core/cancellation.hpp"
#include "laps/circuit_map.hpp"
#include "laps/drive_series.hpp"
#include "laps/lap_period.hpp"
#include "laps/lap_windows.hpp"
#include "laps/line_crossings.hpp"
#include "laps/signature.hpp"

namespace skelder::laps {

namespace {

// The signature for finding the lap: a sample every 2 m, smoothed over about 8 m so a line a few
// metres off still matches. For placing the line: every 0.5 m, smoothed over 3 m.
constexpr double kCoarseStepMetres = 2;
constexpr double kCoarseSmoothingMetres = 8;
constexpr double kFineStepMetres = 1.0;
constexpr double kFineSmoothingMetres = 3;
// Circuits are 1 to 6 km round (a little less or more as driven).
constexpr double kShortestLapMetres = 800;
constexpr double kLongestLapMetres = 6500;
// A lap is found only where the recording overlaps itself by 60 % of a lap or more.
constexpr double kOverlapShare = 0.6;
// A complete lap is within these shares of the lap length (a spin, a detour through the pits).
constexpr double kShortestCompleteLap = 0.8;
constexpr double kLongestCompleteLap = 1.5;

std::vector<double> signatureByDistance(const DriveSeries& series,
                                        const std::vector<double>& curvature, double step,
                                        double smoothingMetres) {
    const auto count = static_cast<std::size_t>(series.totalDistanceMetres() / step) + 1;
    std::vector<double> bends = resampleByDistance(series, curvature, 0, step, count);
    limitToCircuitBends(bends);
    return gaussianSmoothed(bends, smoothingMetres / step);
}

LapFrame lapFrame(const std::vector<double>& coarse, double lagSamples) {
    LapFrame frame;
    frame.lapSamples = static_cast<std::size_t>(std::lround(lagSamples));
    frame.stepMetres = lagSamples * kCoarseStepMetres / static_cast<double>(frame.lapSamples);
    frame.windows = findLapWindows(coarse, frame.lapSamples);
    return frame;
}

double topSpeed(const DriveSeries& series, double fromSeconds, double toSeconds) {
    double top = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const double seconds = series.secondsAt(static_cast<double>(i));
        if (seconds >= fromSeconds && seconds <= toSeconds) {
            top = std::max(top, series.speedMps[i]);
        }
    }
    return top;
}

LapAnalysis noLaps(LapAnalysis analysis, NoLapsReason reason) {
    analysis.noLaps = reason;
    return analysis;
}

}  // namespace

std::string noLapsText(NoLapsReason reason) {
    switch (reason) {
        case NoLapsReason::tooShort:
            return "the recording is too short to hold two laps";
        case NoLapsReason::noRepetition:
            return "the drive never comes back on itself (a road, a hill climb or an autocross)";
        case NoLapsReason::noCompleteLap:
            return "the line is crossed fewer than twice";
    }
    return {};
}

const Lap* LapAnalysis::bestLap() const {
    const auto best =
        std::find_if(laps.begin(), laps.end(), [](const Lap& lap) { return lap.best; });
    return best == laps.end() ? nullptr : &*best;
}

LapAnalysis analyseLaps(const DecisecondGrid& grid, const LapOptions& options,
                        std::stop_token stop) {
    LapAnalysis analysis;
    const DriveSeries series = driveSeriesFrom(grid);
    analysis.firstDecisecond = grid.empty() ? 0 : grid.firstKey();
    analysis.distanceMetres = series.distanceMetres;
    const double driven = series.totalDistanceMetres();
    const double longestLap = std::min(kLongestLapMetres, driven / (1 + kOverlapShare));
    if (longestLap <= kShortestLapMetres) {
        return noLaps(std::move(analysis), NoLapsReason::tooShort);
    }

    const double offset = lateralOffsetOnStraights(series);
    const std::vector<double> curvature = curvaturePerMetre(series, offset);
    const std::vector<double> coarse =
        signatureByDistance(series, curvature, kCoarseStepMetres, kCoarseSmoothingMetres);
    throwIfCancelled(stop);
    const auto shortest = static_cast<std::size_t>(kShortestLapMetres / kCoarseStepMetres);
    const auto longest = static_cast<std::size_t>(longestLap / kCoarseStepMetres);
    auto period = findLapPeriod(coarse, shortest, longest);
    if (!period) {
        return noLaps(std::move(analysis), NoLapsReason::noRepetition);
    }
    throwIfCancelled(stop);

    LapFrame frame = lapFrame(coarse, period->lagSamples);
    if (alternateWindowsDiffer(coarse, frame.windows, frame.lapSamples)) {
        // Half a lap of a circuit whose halves look alike: the lap is the next match after it.
        const auto whole =
            findLapPeriod(coarse, static_cast<std::size_t>(1.5 * period->lagSamples), longest);
        if (whole) {
            frame = lapFrame(coarse, whole->lagSamples);
        }
    }
    if (frame.windows.empty()) {
        return noLaps(std::move(analysis), NoLapsReason::noRepetition);
    }
    analysis.lapLengthMetres = frame.lapLengthMetres();
    throwIfCancelled(stop);

    std::optional<double> anchor;
    double linePlace = 0;
    if (options.lineAtSeconds) {
        anchor = distanceAtSeconds(series, *options.lineAtSeconds);
        linePlace = linePlaceAt(*anchor, frame);
    } else {
        const auto count = coarse.size();
        linePlace = defaultLinePlace(
            resampleByDistance(series, series.throttle, 0, kCoarseStepMetres, count),
            resampleByDistance(series, series.speedMps, 0, kCoarseStepMetres, count), frame);
    }
    const std::vector<double> fine =
        signatureByDistance(series, curvature, kFineStepMetres, kFineSmoothingMetres);
    throwIfCancelled(stop);
    const std::vector<double> crossingMetres =
        lineCrossingMetres(fine, kFineStepMetres, frame, linePlace, anchor, driven);
    for (const double metres : crossingMetres) {
        analysis.crossings.push_back({secondsAtDistance(series, metres), metres});
    }

    std::vector<std::pair<double, double>> lapMetres;
    for (std::size_t k = 0; k + 1 < analysis.crossings.size(); ++k) {
        const LineCrossing& from = analysis.crossings[k];
        const LineCrossing& to = analysis.crossings[k + 1];
        const double length = to.distanceMetres - from.distanceMetres;
        if (length < kShortestCompleteLap * analysis.lapLengthMetres ||
            length > kLongestCompleteLap * analysis.lapLengthMetres) {
            continue;
        }
        analysis.laps.push_back({static_cast<int>(analysis.laps.size()) + 1, from.seconds,
                                 to.seconds, false, topSpeed(series, from.seconds, to.seconds)});
        lapMetres.emplace_back(from.distanceMetres, to.distanceMetres);
    }
    const double firstSeconds = series.secondsAt(0);
    const double lastSeconds = series.secondsAt(static_cast<double>(series.size() - 1));
    if (!analysis.crossings.empty()) {
        if (analysis.crossings.front().seconds > firstSeconds) {
            analysis.outLap = PartialLap{firstSeconds, analysis.crossings.front().seconds};
        }
        if (analysis.crossings.back().seconds < lastSeconds) {
            analysis.inLap = PartialLap{analysis.crossings.back().seconds, lastSeconds};
        }
    }
    if (analysis.laps.empty()) {
        return noLaps(std::move(analysis), NoLapsReason::noCompleteLap);
    }
    const auto best = std::min_element(
        analysis.laps.begin(), analysis.laps.end(),
        [](const Lap& a, const Lap& b) { return a.timeSeconds() < b.timeSeconds(); });
    best->best = true;
    analysis.map = circuitMap(series, offset, lapMetres);
    return analysis;
}

}  // namespace skelder::laps
