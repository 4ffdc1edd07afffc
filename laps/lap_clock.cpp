#include "laps/lap_clock.hpp"

#include <algorithm>
#include <cmath>

namespace skelder::laps {

namespace {

constexpr double kDecisecondsPerSecond = 10;

double wrapped(double share) {
    return share - std::floor(share);
}

}  // namespace

LapClock::LapClock(LapAnalysis analysis) : analysis_(std::move(analysis)) {
    const auto& laps = analysis_.laps;
    if (const Lap* best = analysis_.bestLap()) {
        best_ = static_cast<std::size_t>(best - laps.data());
    }
    double along = 0;
    for (std::size_t i = 0; i < analysis_.map.size(); ++i) {
        if (i > 0) {
            along += std::hypot(analysis_.map[i].x - analysis_.map[i - 1].x,
                                analysis_.map[i].y - analysis_.map[i - 1].y);
        }
        mapAlong_.push_back(along);
    }
}

double LapClock::distanceAt(double seconds) const {
    const std::vector<double>& distance = analysis_.distanceMetres;
    const double index =
        seconds * kDecisecondsPerSecond - static_cast<double>(analysis_.firstDecisecond);
    if (!(index > 0)) {
        return distance.front();
    }
    const auto last = static_cast<double>(distance.size() - 1);
    if (index >= last) {
        return distance.back();
    }
    const auto i = static_cast<std::size_t>(index);
    const double u = index - static_cast<double>(i);
    return distance[i] + u * (distance[i + 1] - distance[i]);
}

double LapClock::secondsAt(double metres) const {
    const std::vector<double>& distance = analysis_.distanceMetres;
    const auto first = static_cast<double>(analysis_.firstDecisecond);
    const auto upper = std::lower_bound(distance.begin(), distance.end(), metres);
    if (upper == distance.begin()) {
        return first / kDecisecondsPerSecond;
    }
    if (upper == distance.end()) {
        return (first + static_cast<double>(distance.size() - 1)) / kDecisecondsPerSecond;
    }
    const auto i = static_cast<std::size_t>(upper - distance.begin()) - 1;
    const double span = distance[i + 1] - distance[i];
    const double u = span > 0 ? (metres - distance[i]) / span : 0.0;
    return (first + static_cast<double>(i) + u) / kDecisecondsPerSecond;
}

std::optional<LapReading> LapClock::at(double seconds) const {
    if (!best_ || analysis_.distanceMetres.empty() || !std::isfinite(seconds)) {
        return std::nullopt;
    }
    const auto& laps = analysis_.laps;
    const auto& crossings = analysis_.crossings;
    const double firstSeconds =
        static_cast<double>(analysis_.firstDecisecond) / kDecisecondsPerSecond;
    const double lastSeconds =
        firstSeconds +
        static_cast<double>(analysis_.distanceMetres.size() - 1) / kDecisecondsPerSecond;
    if (seconds < firstSeconds || seconds > lastSeconds) {
        return std::nullopt;
    }
    const Lap& best = laps[*best_];
    LapReading reading;
    reading.bestLapSeconds = best.timeSeconds();
    for (const Lap& lap : laps) {
        if (lap.endSeconds <= seconds) {
            reading.lastLapSeconds = lap.timeSeconds();
        }
    }
    const double metres = distanceAt(seconds);
    const auto current = std::find_if(laps.begin(), laps.end(), [seconds](const Lap& lap) {
        return lap.startSeconds <= seconds && seconds < lap.endSeconds;
    });
    if (current == laps.end()) {
        // A partial lap: before the first crossing, after the last, or between two that make
        // no lap. Its place is measured from the nearest crossing before (or after) it.
        const auto after =
            std::find_if(crossings.begin(), crossings.end(),
                         [seconds](const LineCrossing& c) { return c.seconds > seconds; });
        const double lap = analysis_.lapLengthMetres;
        if (after == crossings.begin()) {
            reading.kind = LapReading::Kind::outLap;
            reading.lapSeconds = seconds - firstSeconds;
            reading.share = wrapped(1 - (after->distanceMetres - metres) / lap);
        } else {
            const LineCrossing& before = *(after - 1);
            reading.kind =
                after == crossings.end() ? LapReading::Kind::inLap : LapReading::Kind::outLap;
            reading.lapSeconds = seconds - before.seconds;
            reading.share = wrapped((metres - before.distanceMetres) / lap);
        }
        return reading;
    }
    reading.kind = LapReading::Kind::lap;
    reading.lapNumber = current->number;
    reading.lapSeconds = seconds - current->startSeconds;
    const double start = distanceAt(current->startSeconds);
    const double end = distanceAt(current->endSeconds);
    reading.share = end > start ? std::clamp((metres - start) / (end - start), 0.0, 1.0) : 0.0;
    const double bestStart = distanceAt(best.startSeconds);
    const double bestEnd = distanceAt(best.endSeconds);
    if (laps.size() >= 2) {
        const double bestAtShare = secondsAt(bestStart + reading.share * (bestEnd - bestStart));
        reading.gapSeconds = reading.lapSeconds - (bestAtShare - best.startSeconds);
    }
    const double bestMetres =
        distanceAt(std::min(best.startSeconds + reading.lapSeconds, best.endSeconds));
    reading.bestShare = bestEnd > bestStart
                            ? std::clamp((bestMetres - bestStart) / (bestEnd - bestStart), 0.0, 1.0)
                            : 0.0;
    return reading;
}

MapPoint LapClock::mapPointAt(double share) const {
    const auto& map = analysis_.map;
    if (map.empty()) {
        return {};
    }
    const double target = std::clamp(share, 0.0, 1.0) * mapAlong_.back();
    const auto upper = std::lower_bound(mapAlong_.begin(), mapAlong_.end(), target);
    if (upper == mapAlong_.begin()) {
        return map.front();
    }
    if (upper == mapAlong_.end()) {
        return map.back();
    }
    const auto i = static_cast<std::size_t>(upper - mapAlong_.begin()) - 1;
    const double span = mapAlong_[i + 1] - mapAlong_[i];
    const double u = span > 0 ? (target - mapAlong_[i]) / span : 0.0;
    return {map[i].x + u * (map[i + 1].x - map[i].x), map[i].y + u * (map[i + 1].y - map[i].y)};
}

}  // namespace skelder::laps
