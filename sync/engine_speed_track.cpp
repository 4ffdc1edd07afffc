#include "sync/engine_speed_track.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace skelder::sync {
namespace {

// Change is measured across a second (five deciseconds each side), so sensor noise averages out.
constexpr std::size_t kChangeReachDeciseconds = 5;
constexpr double kChangingLogStepPerDecisecond = 0.005;
constexpr std::int64_t kJoiningGapDeciseconds = 20;
constexpr std::int64_t kPaddingDeciseconds = 10;
constexpr std::int64_t kLongestPieceDeciseconds = 200;
constexpr double kStepSeconds = 0.001;

double logRpm(double rpm) {
    return std::log(std::max(rpm, kRunningEngineRpm));
}

// A run of deciseconds [first, last] and how much the engine speed changes in it.
struct Piece {
    std::int64_t first = 0;
    std::int64_t last = 0;
    double activity = 0;
};

}  // namespace

double hudLogRpmAt(const DecisecondGrid& grid, double seconds) {
    if (grid.empty())
        throw std::invalid_argument("no engine speed to look up");
    double x = seconds * 10.0;
    if (!(x > 0))
        x = 0;
    const double floored = std::floor(x);
    if (floored < static_cast<double>(grid.firstKey()))
        return logRpm(grid.samples().front().rpm);
    if (floored >= static_cast<double>(grid.lastKey()))
        return logRpm(grid.samples().back().rpm);
    const auto tick = static_cast<std::int64_t>(floored);
    const double fraction = x - floored;
    const double a = logRpm(grid.find(tick)->rpm);
    const double b = logRpm(grid.find(tick + 1)->rpm);
    return a + fraction * (b - a);
}

ChangingStretches findChangingStretches(const DecisecondGrid& grid, double longestSeconds) {
    ChangingStretches result;
    const std::vector<OverlayTelemetrySample>& samples = grid.samples();
    if (samples.size() < 2 * kChangeReachDeciseconds + 1)
        return result;
    // How much the engine speed changes at each decisecond (0 where it is not changing).
    std::vector<double> activity(samples.size(), 0.0);
    const std::size_t reach = kChangeReachDeciseconds;
    for (std::size_t i = reach; i + reach < samples.size(); ++i) {
        const double before = samples[i - reach].rpm;
        const double after = samples[i + reach].rpm;
        if (before < kRunningEngineRpm || after < kRunningEngineRpm)
            continue;
        const double step = std::abs(std::log(after) - std::log(before)) / (2 * reach);
        if (step >= kChangingLogStepPerDecisecond)
            activity[i] = step;
    }
    std::vector<Piece> runs;
    for (std::size_t i = 0; i < activity.size(); ++i) {
        if (activity[i] == 0)
            continue;
        const auto at = static_cast<std::int64_t>(i);
        if (!runs.empty() && at - runs.back().last <= kJoiningGapDeciseconds) {
            runs.back().last = at;
        } else {
            runs.push_back({at, at, 0});
        }
        runs.back().activity += activity[i];
        result.changingSeconds += 0.1;
    }
    // Padded, clamped to the grid and cut into pieces no longer than the longest piece.
    const auto lastIndex = static_cast<std::int64_t>(samples.size()) - 1;
    std::vector<Piece> pieces;
    for (const Piece& run : runs) {
        const std::int64_t first = std::max<std::int64_t>(0, run.first - kPaddingDeciseconds);
        const std::int64_t last = std::min(lastIndex, run.last + kPaddingDeciseconds);
        for (std::int64_t start = first; start <= last; start += kLongestPieceDeciseconds) {
            Piece piece{start, std::min(last, start + kLongestPieceDeciseconds - 1), 0};
            for (std::int64_t d = piece.first; d <= piece.last; ++d)
                piece.activity += activity[static_cast<std::size_t>(d)];
            pieces.push_back(piece);
        }
    }
    // The most active pieces within the length asked for, back in time order.
    std::vector<std::size_t> order(pieces.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return pieces[a].activity > pieces[b].activity;
    });
    std::vector<Piece> kept;
    double keptSeconds = 0;
    for (const std::size_t index : order) {
        const Piece& piece = pieces[index];
        const double seconds = static_cast<double>(piece.last - piece.first + 1) / 10.0;
        if (!kept.empty() && keptSeconds + seconds > longestSeconds)
            continue;
        kept.push_back(piece);
        keptSeconds += seconds;
    }
    std::sort(kept.begin(), kept.end(),
              [](const Piece& a, const Piece& b) { return a.first < b.first; });
    const auto secondsOf = [&](std::int64_t index) {
        return static_cast<double>(grid.firstKey() + index) / 10.0;
    };
    for (const Piece& piece : kept) {
        const double start = secondsOf(piece.first);
        const double end = secondsOf(piece.last + 1);
        if (!result.stretches.empty() && result.stretches.back().endSeconds >= start) {
            result.stretches.back().endSeconds = end;
        } else {
            result.stretches.push_back({start, end});
        }
    }
    return result;
}

SmoothedLogRpm::SmoothedLogRpm(const DecisecondGrid& grid, double startSeconds, double endSeconds,
                               std::span<const double> kernel)
    : startSeconds_(startSeconds) {
    if (!(endSeconds >= startSeconds) || kernel.empty() || kernel.size() % 2 == 0)
        throw std::invalid_argument(
            "a smoothed span needs an end after its start and an odd kernel");
    const auto count =
        static_cast<std::size_t>(std::ceil((endSeconds - startSeconds) / kStepSeconds)) + 1;
    const std::size_t half = kernel.size() / 2;
    std::vector<double> raw(count + 2 * half);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const double seconds =
            startSeconds + (static_cast<double>(i) - static_cast<double>(half)) * kStepSeconds;
        raw[i] = hudLogRpmAt(grid, seconds);
    }
    values_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        double sum = 0;
        for (std::size_t k = 0; k < kernel.size(); ++k)
            sum += kernel[k] * raw[i + k];
        values_[i] = sum;
    }
}

double SmoothedLogRpm::at(double seconds) const {
    const double x = (seconds - startSeconds_) / kStepSeconds;
    if (!(x > 0))
        return values_.front();
    const double floored = std::floor(x);
    const auto index = static_cast<std::size_t>(floored);
    if (index + 1 >= values_.size())
        return values_.back();
    const double fraction = x - floored;
    return values_[index] + fraction * (values_[index + 1] - values_[index]);
}

}  // namespace skelder::sync
