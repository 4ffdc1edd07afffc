#include "laps/line_crossings.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "laps/lap_period.hpp"

namespace skelder::laps {

namespace {

constexpr double kFullThrottleShare = 0.9;
constexpr double kLeastThrottle = 0.2;
// The stretch of circuit on either side of the line that places a crossing: out to the nearest
// bends, at least 150 m and at most 1.5 km (or 45 % of the lap).
constexpr double kFeatureTurnRadians = 1.0;
constexpr double kReachMarginMetres = 40;
constexpr double kLeastReachMetres = 150;
constexpr double kWidestReachMetres = 1500;
constexpr double kSearchMetres = 60;
constexpr double kCrossingScore = 0.5;
constexpr double kCrossingCoverage = 0.3;
constexpr int kAlignmentRounds = 3;

struct Candidate {
    double expectedMetres = 0;
    bool inWholeWindow = false;  // inside a lap the windows found whole
    double shiftSamples = 0;
    double score = 0;
    double coverage = 0;
};

double windowStartMetres(const LapFrame& frame, std::size_t k) {
    return frame.windows[k].start * frame.stepMetres;
}

// The length of window k's lap: up to the next window unless a gap lies between.
double windowLengthMetres(const LapFrame& frame, std::size_t k) {
    if (k + 1 < frame.windows.size() && !frame.windows[k + 1].afterGap) {
        return windowStartMetres(frame, k + 1) - windowStartMetres(frame, k);
    }
    return frame.lapLengthMetres();
}

std::vector<Candidate> candidates(const LapFrame& frame, double linePlace, double drivenMetres) {
    const double lap = frame.lapLengthMetres();
    std::vector<Candidate> list;
    const auto add = [&](double metres, bool whole) {
        if (metres >= 0 && metres <= drivenMetres) {
            list.push_back({metres, whole, 0, 0, 0});
        }
    };
    for (std::size_t k = 0; k < frame.windows.size(); ++k) {
        const LapWindow& window = frame.windows[k];
        const double start = windowStartMetres(frame, k);
        if (k == 0 || window.afterGap) {
            add(start - lap + linePlace, false);
        }
        add(start + linePlace * windowLengthMetres(frame, k) / lap, window.coverage > 0.95);
        if (k + 1 == frame.windows.size()) {
            add(start + lap + linePlace, false);
        }
    }
    return list;
}

// The stretch of signature that places a crossing, in samples before and after the line.
struct Reach {
    std::size_t before = 0;
    std::size_t after = 0;
    std::size_t size() const { return before + after + 1; }
};

// Flat, with the outer sixth on either side tapered off, so a feature entering or leaving the
// window as it shifts changes the match gradually.
std::vector<double> taperedWeights(std::size_t count) {
    std::vector<double> weights(count, 1.0);
    const std::size_t taper = std::max<std::size_t>(count / 6, 1);
    for (std::size_t m = 0; m < taper && m < count; ++m) {
        const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(m) + 0.5) /
                                              static_cast<double>(taper));
        weights[m] = w;
        weights[count - 1 - m] = w;
    }
    return weights;
}

double sampleAt(std::span<const double> signal, double position) {
    const double base = std::floor(position);
    const auto i = static_cast<std::ptrdiff_t>(base);
    if (i < 0 || i + 1 >= static_cast<std::ptrdiff_t>(signal.size())) {
        return 0;
    }
    const double u = position - base;
    return signal[static_cast<std::size_t>(i)] * (1 - u) +
           signal[static_cast<std::size_t>(i + 1)] * u;
}

// The mean of the signature around the line over the laps the windows found, each sample over
// the laps that cover it.
std::vector<double> lineTemplate(std::span<const double> signal, const std::vector<Candidate>& list,
                                 double fineStep, Reach reach) {
    std::vector<double> sum(reach.size(), 0.0);
    std::vector<int> count(reach.size(), 0);
    const double last = static_cast<double>(signal.size() - 1);
    for (const Candidate& candidate : list) {
        if (!candidate.inWholeWindow) {
            continue;
        }
        const double from = candidate.expectedMetres / fineStep + candidate.shiftSamples -
                            static_cast<double>(reach.before);
        for (std::size_t m = 0; m < sum.size(); ++m) {
            const double position = from + static_cast<double>(m);
            if (position >= 0 && position < last) {
                sum[m] += sampleAt(signal, position);
                ++count[m];
            }
        }
    }
    bool any = false;
    for (std::size_t m = 0; m < sum.size(); ++m) {
        if (count[m] > 0) {
            sum[m] /= count[m];
            any = true;
        }
    }
    return any ? sum : std::vector<double>{};
}

// Enough of the circuit around the line to hold its nearest bends: from the line outwards on
// either side until the road has turned by a right angle or so, a little further, and never
// more than the widest reach. A line in the middle of a long straight is placed by the bends at
// both of its ends.
Reach featureReach(std::span<const double> wide, std::size_t widest, double fineStep) {
    const auto margin = static_cast<std::size_t>(kReachMarginMetres / fineStep);
    const auto least = static_cast<std::size_t>(kLeastReachMetres / fineStep);
    const auto walk = [&](int direction) {
        double turned = 0;
        for (std::size_t m = 1; m <= widest; ++m) {
            const std::size_t index = direction > 0 ? widest + m : widest - m;
            if (index >= wide.size()) {
                break;
            }
            turned += std::abs(wide[index]) * fineStep;
            if (turned >= kFeatureTurnRadians) {
                return std::clamp(m + margin, least, widest);
            }
        }
        return widest;
    };
    return {walk(-1), walk(+1)};
}

struct Shift {
    double samples = 0;
    double score = 0;
    double coverage = 0;
};

// The best shift of a pattern laid from `origin` on within `search` samples of `centre`: a
// stride of four samples, then every sample near the best, then between samples.
Shift bestShift(std::span<const double> pattern, std::span<const double> weights,
                std::span<const double> signal, double origin, double centre, double search) {
    const auto scoreAt = [&](double shift, double* coverage) {
        return windowMatch(pattern, weights, signal, origin + shift, coverage);
    };
    double best = centre;
    double bestScore = -2;
    for (double shift = centre - search; shift <= centre + search; shift += 4) {
        const double score = scoreAt(shift, nullptr);
        if (score > bestScore) {
            bestScore = score;
            best = shift;
        }
    }
    const double coarse = best;
    for (double shift = coarse - 3; shift <= coarse + 3; shift += 1) {
        const double score = scoreAt(shift, nullptr);
        if (score > bestScore) {
            bestScore = score;
            best = shift;
        }
    }
    const double left = scoreAt(best - 1, nullptr);
    const double right = scoreAt(best + 1, nullptr);
    const double bend = left - 2 * bestScore + right;
    Shift shift;
    shift.samples = bend < 0 ? best + std::clamp(0.5 * (left - right) / bend, -0.5, 0.5) : best;
    shift.score = scoreAt(shift.samples, &shift.coverage);
    return shift;
}

// How far from the line a side's bends lie on average (weighted by their strength), in samples,
// and how strong they are.
struct SideFeatures {
    double distance = 0;
    double strength = 0;
};

SideFeatures sideFeatures(std::span<const double> pattern, std::span<const double> weights,
                          bool before) {
    SideFeatures side;
    double moment = 0;
    for (std::size_t m = 0; m < pattern.size(); ++m) {
        const double energy = weights[m] * pattern[m] * pattern[m];
        const double distance =
            before ? static_cast<double>(pattern.size() - 1 - m) : static_cast<double>(m);
        side.strength += energy;
        moment += energy * distance;
    }
    side.distance = side.strength > 0 ? moment / side.strength : 0.0;
    return side;
}

// Aligns the stretch before the line and the stretch after it each on its own and puts the
// crossing between them in proportion to their distances from the line: a lap driven on a
// longer line between the two places the crossing where the circuit has it, not where a rigid
// shift of the whole window would.
void align(Candidate& candidate, std::span<const double> pattern, std::span<const double> weights,
           std::span<const double> signal, double fineStep, Reach reach, double search) {
    const double line = candidate.expectedMetres / fineStep;
    const double centre = std::round(candidate.shiftSamples);
    const std::span<const double> beforePattern = pattern.first(reach.before + 1);
    const std::span<const double> beforeWeights = weights.first(reach.before + 1);
    const std::span<const double> afterPattern = pattern.subspan(reach.before);
    const std::span<const double> afterWeights = weights.subspan(reach.before);
    const Shift before = bestShift(beforePattern, beforeWeights, signal,
                                   line - static_cast<double>(reach.before), centre, search);
    const Shift after = bestShift(afterPattern, afterWeights, signal, line, centre, search);
    const SideFeatures beforeSide = sideFeatures(beforePattern, beforeWeights, true);
    const SideFeatures afterSide = sideFeatures(afterPattern, afterWeights, false);
    const auto usable = [](const Shift& shift, const SideFeatures& side,
                           const SideFeatures& other) {
        return shift.coverage >= kCrossingCoverage && side.strength >= 0.1 * other.strength;
    };
    const bool useBefore = usable(before, beforeSide, afterSide);
    const bool useAfter = usable(after, afterSide, beforeSide);
    if (useBefore && useAfter) {
        const double span = beforeSide.distance + afterSide.distance;
        candidate.shiftSamples =
            span > 0
                ? (before.samples * afterSide.distance + after.samples * beforeSide.distance) / span
                : 0.5 * (before.samples + after.samples);
    } else if (useBefore || useAfter) {
        candidate.shiftSamples = useBefore ? before.samples : after.samples;
    } else {
        candidate.shiftSamples = bestShift(pattern, weights, signal,
                                           line - static_cast<double>(reach.before), centre, search)
                                     .samples;
    }
    candidate.score = windowMatch(pattern, weights, signal,
                                  line - static_cast<double>(reach.before) + candidate.shiftSamples,
                                  &candidate.coverage);
}

}  // namespace

double defaultLinePlace(std::span<const double> throttleByDistance,
                        std::span<const double> speedByDistance, const LapFrame& frame) {
    const std::size_t lap = frame.lapSamples;
    const std::vector<double> throttle = meanOverWindows(throttleByDistance, frame.windows, lap);
    const std::vector<double> speed = meanOverWindows(speedByDistance, frame.windows, lap);
    if (throttle.empty() || speed.empty()) {
        return 0;
    }
    const auto fastest =
        static_cast<double>(std::max_element(speed.begin(), speed.end()) - speed.begin()) *
        frame.stepMetres;
    const double most = *std::max_element(throttle.begin(), throttle.end());
    if (most < kLeastThrottle) {
        return fastest;
    }
    const double threshold = kFullThrottleShare * most;
    // Runs around the lap: the walk starts just after a sample below the threshold, so a run
    // across the window's end is counted whole.
    const auto below = std::find_if(throttle.begin(), throttle.end(),
                                    [threshold](double value) { return value < threshold; });
    if (below == throttle.end()) {
        return fastest;  // flat out all the way round
    }
    const auto firstBelow = static_cast<std::size_t>(below - throttle.begin());
    std::size_t bestLength = 0;
    std::size_t bestEnd = 0;
    std::size_t length = 0;
    for (std::size_t step = 1; step <= lap; ++step) {
        const std::size_t m = (firstBelow + step) % lap;
        if (throttle[m] >= threshold) {
            ++length;
            continue;
        }
        if (length > bestLength) {
            bestLength = length;
            bestEnd = m;
        }
        length = 0;
    }
    return static_cast<double>(bestEnd) * frame.stepMetres;
}

double linePlaceAt(double metres, const LapFrame& frame) {
    const double lap = frame.lapLengthMetres();
    if (frame.windows.empty()) {
        return 0;
    }
    std::size_t k = 0;
    while (k + 1 < frame.windows.size() && windowStartMetres(frame, k + 1) <= metres) {
        ++k;
    }
    const double into = (metres - windowStartMetres(frame, k)) * lap / windowLengthMetres(frame, k);
    return std::fmod(std::fmod(into, lap) + lap, lap);
}

std::vector<double> lineCrossingMetres(std::span<const double> fineSignature, double fineStepMetres,
                                       const LapFrame& frame, double linePlaceMetres,
                                       std::optional<double> anchorMetres, double drivenMetres) {
    std::vector<Candidate> list = candidates(frame, linePlaceMetres, drivenMetres);
    if (list.empty()) {
        return {};
    }
    const double lap = frame.lapLengthMetres();
    const auto widest =
        static_cast<std::size_t>(std::min(kWidestReachMetres, 0.45 * lap) / fineStepMetres);
    const std::vector<double> wide =
        lineTemplate(fineSignature, list, fineStepMetres, {widest, widest});
    const Reach reach = featureReach(wide, widest, fineStepMetres);
    const std::vector<double> weights = taperedWeights(reach.size());
    double search = std::ceil(std::min(kSearchMetres, 0.05 * lap) / fineStepMetres);
    for (int round = 0; round < kAlignmentRounds; ++round) {
        const std::vector<double> pattern =
            lineTemplate(fineSignature, list, fineStepMetres, reach);
        if (pattern.empty()) {
            break;
        }
        for (Candidate& candidate : list) {
            align(candidate, pattern, weights, fineSignature, fineStepMetres, reach, search);
        }
        // Keep the mean of the laps where it was, so the line does not wander.
        double sum = 0;
        int count = 0;
        for (const Candidate& candidate : list) {
            if (candidate.inWholeWindow) {
                sum += candidate.shiftSamples;
                ++count;
            }
        }
        const double mean = count > 0 ? sum / count : 0.0;
        for (Candidate& candidate : list) {
            candidate.shiftSamples -= mean;
        }
        search = std::max(8.0, std::ceil(search / 2));
    }
    std::vector<double> crossings;
    for (const Candidate& candidate : list) {
        const bool matched =
            candidate.score >= kCrossingScore && candidate.coverage >= kCrossingCoverage;
        if (matched) {
            crossings.push_back(candidate.expectedMetres + candidate.shiftSamples * fineStepMetres);
        } else if (candidate.inWholeWindow) {
            // The lap matched as a whole but not at the line (a spin there): keep its place.
            crossings.push_back(candidate.expectedMetres);
        }
    }
    std::sort(crossings.begin(), crossings.end());
    if (anchorMetres && !crossings.empty()) {
        const auto nearest =
            std::min_element(crossings.begin(), crossings.end(), [&](double a, double b) {
                return std::abs(a - *anchorMetres) < std::abs(b - *anchorMetres);
            });
        const double shift = *anchorMetres - *nearest;
        for (double& crossing : crossings) {
            crossing += shift;
        }
    }
    std::vector<double> kept;
    for (const double crossing : crossings) {
        if (crossing < 0 || crossing > drivenMetres) {
            continue;
        }
        if (!kept.empty() && crossing - kept.back() < 0.5 * lap) {
            continue;
        }
        kept.push_back(crossing);
    }
    return kept;
}

}  // namespace skelder::laps
