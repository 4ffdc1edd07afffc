#include "laps/lap_windows.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "laps/correlation.hpp"

namespace skelder::laps {

namespace {

constexpr double kWindowScore = 0.5;
constexpr double kMinimumCoverage = 0.35;
// How much longer or shorter than the reference a lap may be (a different line, a spin, a
// trip through the pit lane).
constexpr double kShortestLap = 0.85;
constexpr double kLongestLap = 1.3;

// The match of a lap pattern at every offset o from -(m - 1) to n - 1, over the part of the
// pattern the signal covers, with that part's share of the pattern.
struct MatchCurve {
    std::ptrdiff_t firstOffset = 0;
    std::vector<double> score;
    std::vector<double> coverage;

    std::ptrdiff_t lastOffset() const {
        return firstOffset + static_cast<std::ptrdiff_t>(score.size()) - 1;
    }
    std::size_t at(std::ptrdiff_t offset) const {
        return static_cast<std::size_t>(offset - firstOffset);
    }
};

MatchCurve matchCurve(std::span<const double> pattern, std::span<const double> signal) {
    const auto m = static_cast<std::ptrdiff_t>(pattern.size());
    const auto n = static_cast<std::ptrdiff_t>(signal.size());
    const std::vector<double> products = crossCorrelation(pattern, signal);
    const std::vector<double> patternEnergy = prefixEnergy(pattern);
    const std::vector<double> signalEnergy = prefixEnergy(signal);
    const double floorPerSample =
        0.05 * patternEnergy.back() / static_cast<double>(std::max<std::ptrdiff_t>(m, 1));
    MatchCurve curve;
    curve.firstOffset = -(m - 1);
    curve.score.resize(products.size());
    curve.coverage.resize(products.size());
    for (std::ptrdiff_t o = curve.firstOffset; o < n; ++o) {
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(o, 0);
        const std::ptrdiff_t to = std::min(o + m, n);
        const auto overlap = static_cast<double>(to - from);
        const double energy = signalEnergy[static_cast<std::size_t>(to)] -
                              signalEnergy[static_cast<std::size_t>(from)] +
                              patternEnergy[static_cast<std::size_t>(to - o)] -
                              patternEnergy[static_cast<std::size_t>(from - o)] +
                              floorPerSample * overlap;
        const std::size_t k = curve.at(o);
        curve.score[k] = energy > 0 ? 2 * products[k] / energy : 0.0;
        curve.coverage[k] = overlap / static_cast<double>(m);
    }
    return curve;
}

bool acceptable(const MatchCurve& curve, std::ptrdiff_t offset) {
    const std::size_t k = curve.at(offset);
    return curve.coverage[k] >= kMinimumCoverage && curve.score[k] >= kWindowScore;
}

// The best offset in [from, to], or nothing when the range is outside the curve.
std::optional<std::ptrdiff_t> bestIn(const MatchCurve& curve, std::ptrdiff_t from,
                                     std::ptrdiff_t to) {
    from = std::max(from, curve.firstOffset);
    to = std::min(to, curve.lastOffset());
    if (from > to) {
        return std::nullopt;
    }
    std::ptrdiff_t best = from;
    for (std::ptrdiff_t o = from; o <= to; ++o) {
        if (curve.score[curve.at(o)] > curve.score[curve.at(best)]) {
            best = o;
        }
    }
    return best;
}

LapWindow windowAt(const MatchCurve& curve, std::ptrdiff_t offset, bool afterGap) {
    const std::size_t k = curve.at(offset);
    double refined = static_cast<double>(offset);
    if (offset > curve.firstOffset && offset < curve.lastOffset()) {
        const double left = curve.score[k - 1];
        const double centre = curve.score[k];
        const double right = curve.score[k + 1];
        const double bend = left - 2 * centre + right;
        if (bend < 0) {
            refined += std::clamp(0.5 * (left - right) / bend, -0.5, 0.5);
        }
    }
    return {refined, curve.score[k], curve.coverage[k], afterGap};
}

std::vector<LapWindow> followLaps(const MatchCurve& curve, std::ptrdiff_t seed,
                                  std::ptrdiff_t lap) {
    const auto shortest = static_cast<std::ptrdiff_t>(std::floor(kShortestLap * lap));
    const auto longest = static_cast<std::ptrdiff_t>(std::ceil(kLongestLap * lap));
    std::vector<LapWindow> windows{windowAt(curve, seed, false)};
    // Backwards: each earlier lap about a lap before the one after it.
    for (std::ptrdiff_t at = seed;;) {
        const auto previous = bestIn(curve, at - longest, at - shortest);
        if (!previous || !acceptable(curve, *previous)) {
            break;
        }
        windows.insert(windows.begin(), windowAt(curve, *previous, false));
        at = *previous;
    }
    // Forwards, skipping stretches that match nothing until a lap matches again.
    bool gap = false;
    for (std::ptrdiff_t at = seed; at < curve.lastOffset();) {
        const auto next = bestIn(curve, at + shortest, at + longest);
        if (next && acceptable(curve, *next)) {
            windows.push_back(windowAt(curve, *next, gap));
            gap = false;
            at = *next;
            continue;
        }
        gap = true;
        at += longest;
        // Resume at the best match within a lap of the first good one after the gap (not half a
        // lap on, where a circuit whose halves look alike matches almost as well).
        std::optional<std::ptrdiff_t> resume;
        for (std::ptrdiff_t o = at; o <= curve.lastOffset(); ++o) {
            if (!acceptable(curve, o)) {
                continue;
            }
            const auto peak = bestIn(curve, o, o + lap);
            if (peak && acceptable(curve, *peak)) {
                resume = peak;
            }
            break;
        }
        if (!resume) {
            break;
        }
        windows.push_back(windowAt(curve, *resume, true));
        gap = false;
        at = *resume;
    }
    return windows;
}

// The lap of the recording that best matches the lap after it: the first reference.
std::ptrdiff_t referenceStart(std::span<const double> signature, std::size_t lap) {
    const std::size_t n = signature.size();
    // At most two dozen candidates, each against the next lap within a few percent.
    const std::size_t candidates = (n - lap) / std::max<std::size_t>(lap / 4, 1) + 1;
    const std::size_t step =
        std::max<std::size_t>((n - lap) / std::min<std::size_t>(candidates, 24), 1);
    const auto reach = static_cast<std::ptrdiff_t>(lap / 40 + 1);
    std::ptrdiff_t best = 0;
    double bestScore = -2;
    for (std::size_t a = 0; a + lap < n; a += step) {
        const std::span<const double> pattern = signature.subspan(a, lap);
        for (std::ptrdiff_t shift = -reach; shift <= reach; ++shift) {
            const auto next = static_cast<std::ptrdiff_t>(a + lap) + shift;
            const auto end = std::min<std::ptrdiff_t>(next + static_cast<std::ptrdiff_t>(lap),
                                                      static_cast<std::ptrdiff_t>(n));
            if (next <= static_cast<std::ptrdiff_t>(a) ||
                static_cast<double>(end - next) < 0.6 * static_cast<double>(lap)) {
                continue;
            }
            double products = 0;
            double squares = 0;
            for (std::ptrdiff_t i = next; i < end; ++i) {
                const double p = pattern[static_cast<std::size_t>(i - next)];
                const double s = signature[static_cast<std::size_t>(i)];
                products += p * s;
                squares += p * p + s * s;
            }
            const double score = squares > 0 ? 2 * products / squares : 0.0;
            if (score > bestScore) {
                bestScore = score;
                best = static_cast<std::ptrdiff_t>(a);
            }
        }
    }
    return best;
}

}  // namespace

std::vector<LapWindow> findLapWindows(std::span<const double> signature, std::size_t lapSamples) {
    if (lapSamples < 2 || signature.size() <= lapSamples) {
        return {};
    }
    const auto lap = static_cast<std::ptrdiff_t>(lapSamples);
    const std::ptrdiff_t reference = referenceStart(signature, lapSamples);
    const MatchCurve first =
        matchCurve(signature.subspan(static_cast<std::size_t>(reference), lapSamples), signature);
    std::vector<LapWindow> windows = followLaps(first, reference, lap);
    // Once more against the mean of the laps found, which a single lap's noise and line no
    // longer sway.
    const std::vector<double> mean = meanOverWindows(signature, windows, lapSamples);
    if (mean.empty()) {
        return windows;
    }
    const MatchCurve second = matchCurve(mean, signature);
    const auto seed = bestIn(second, reference - lap / 4, reference + lap / 4);
    if (!seed) {
        return windows;
    }
    return followLaps(second, *seed, lap);
}

std::vector<double> meanOverWindows(std::span<const double> channel,
                                    const std::vector<LapWindow>& windows, std::size_t lapSamples) {
    std::vector<double> sum(lapSamples, 0.0);
    std::vector<int> count(lapSamples, 0);
    const auto n = static_cast<std::ptrdiff_t>(channel.size());
    for (const LapWindow& window : windows) {
        const auto start = static_cast<std::ptrdiff_t>(std::lround(window.start));
        for (std::size_t m = 0; m < lapSamples; ++m) {
            const std::ptrdiff_t i = start + static_cast<std::ptrdiff_t>(m);
            if (i >= 0 && i < n) {
                sum[m] += channel[static_cast<std::size_t>(i)];
                ++count[m];
            }
        }
    }
    if (std::find(count.begin(), count.end(), 0) != count.end()) {
        return {};
    }
    for (std::size_t m = 0; m < lapSamples; ++m) {
        sum[m] /= count[m];
    }
    return sum;
}

}  // namespace skelder::laps

namespace skelder::laps {

namespace {

// How much further every window must be from the other kind's mean than from its own kind's;
// with only two of a kind, a lap on a wider line in both would look like a kind of its own.
constexpr double kAlternationRatio = 1.5;
constexpr double kFewAlternationRatio = 8;

}  // namespace

bool alternateWindowsDiffer(std::span<const double> signature,
                            const std::vector<LapWindow>& windows, std::size_t lapSamples) {
    // The longest run of whole windows without a gap, where odd and even are known; each
    // stretched from its start to the next one's, as a lap driven on a wider line is longer.
    struct Span {
        double start;
        double length;
    };
    std::vector<Span> spans;
    std::vector<Span> run;
    const auto size = static_cast<double>(signature.size());
    for (std::size_t k = 0; k < windows.size(); ++k) {
        const LapWindow& window = windows[k];
        const bool followed = k + 1 < windows.size() && !windows[k + 1].afterGap;
        const double length =
            followed ? windows[k + 1].start - window.start : static_cast<double>(lapSamples);
        const bool whole = window.start >= 0 && window.start + length + 1 < size;
        if (!whole || window.afterGap) {
            if (run.size() > spans.size()) {
                spans = run;
            }
            run.clear();
        }
        if (whole) {
            run.push_back({window.start, length});
        }
    }
    if (run.size() > spans.size()) {
        spans = run;
    }
    std::array<std::vector<double>, 2> mean{std::vector<double>(lapSamples, 0.0),
                                            std::vector<double>(lapSamples, 0.0)};
    std::array<int, 2> count{0, 0};
    const auto at = [&](std::size_t k, std::size_t m) {
        const double position = spans[k].start + spans[k].length * static_cast<double>(m) /
                                                     static_cast<double>(lapSamples);
        const auto i = static_cast<std::size_t>(position);
        const double u = position - static_cast<double>(i);
        return signature[i] * (1 - u) + signature[i + 1] * u;
    };
    for (std::size_t k = 0; k < spans.size(); ++k) {
        for (std::size_t m = 0; m < lapSamples; ++m) {
            mean[k % 2][m] += at(k, m);
        }
        ++count[k % 2];
    }
    if (count[0] < 2 || count[1] < 2) {
        return false;  // too few to tell chance from a difference
    }
    for (int parity = 0; parity < 2; ++parity) {
        for (double& value : mean[parity]) {
            value /= count[parity];
        }
    }
    // Each window against the mean of the others of its kind and against the mean of the other
    // kind: the halves of a lap differ in every window, chance does not.
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const int own = static_cast<int>(k % 2);
        double fromOwn = 0;
        double fromOther = 0;
        for (std::size_t m = 0; m < lapSamples; ++m) {
            const double value = at(k, m);
            const double ownMean = (mean[own][m] * count[own] - value) / (count[own] - 1);
            fromOwn += (value - ownMean) * (value - ownMean);
            fromOther += (value - mean[1 - own][m]) * (value - mean[1 - own][m]);
        }
        const double ratio =
            std::min(count[0], count[1]) >= 3 ? kAlternationRatio : kFewAlternationRatio;
        if (!(fromOther >= ratio * fromOwn)) {
            return false;
        }
    }
    return true;
}

}  // namespace skelder::laps
