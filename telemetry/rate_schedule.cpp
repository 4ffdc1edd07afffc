#include "telemetry/rate_schedule.hpp"

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

namespace skelder {
namespace {

using u128 = unsigned __int128;

constexpr std::int64_t kNoDueTime = -1;
constexpr u128 kLatestTime = INT64_MAX;

// a⁻¹ modulo n for a and n without common divisor (0 when n is 1).
std::uint64_t modularInverse(std::uint64_t a, std::uint64_t n) {
    __int128 t = 0, nextT = 1;
    __int128 r = n, nextR = a % n;
    while (nextR != 0) {
        const __int128 q = r / nextR;
        t = std::exchange(nextT, t - q * nextT);
        r = std::exchange(nextR, r - q * nextR);
    }
    if (t < 0)
        t += n;
    return static_cast<std::uint64_t>(t);
}

// std heaps keep the largest element first; ordered by this, that is the earliest due time.
constexpr auto kEarliestFirst = [](const auto& a, const auto& b) {
    return a.headerTime > b.headerTime;
};

}  // namespace

RateSchedule::RateSchedule(const std::vector<std::uint64_t>& rateIntervals, std::int64_t cycleTicks)
    : cycleTicks_(std::max<std::int64_t>(cycleTicks, 1)) {
    const auto step = static_cast<std::uint64_t>(cycleTicks_);
    std::map<std::uint64_t, std::size_t> byTicks;
    for (std::size_t rate = 0; rate < rateIntervals.size(); ++rate) {
        const std::uint64_t ticks = rateIntervals[rate];
        if (ticks == 0)
            continue;
        auto [found, added] = byTicks.try_emplace(ticks, intervals_.size());
        if (added) {
            const std::uint64_t divisor = std::gcd(ticks, step);
            const std::uint64_t period = ticks / divisor;
            intervals_.push_back(
                {ticks, divisor, period, modularInverse(step / divisor, period), {}});
        }
        intervals_[found->second].rates.push_back(rate);
    }
    heap_.reserve(intervals_.size());
}

std::int64_t RateSchedule::firstDueFrom(const Interval& interval, std::int64_t headerTime) const {
    // headerTime + k × step is a multiple of ticks exactly when
    // k ≡ −(headerTime ÷ d) × (step ÷ d)⁻¹ (mod ticks ÷ d), d = gcd(ticks, step).
    const auto time = static_cast<std::uint64_t>(headerTime);
    if (time % interval.commonDivisor != 0)
        return kNoDueTime;
    const std::uint64_t period = interval.periodCycles;
    const std::uint64_t reduced = time / interval.commonDivisor % period;
    const std::uint64_t negated = reduced == 0 ? 0 : period - reduced;
    const auto cycles = static_cast<std::uint64_t>(u128{negated} * interval.stepInverse % period);
    const u128 due = u128{time} + u128{cycles} * static_cast<std::uint64_t>(cycleTicks_);
    return due > kLatestTime ? kNoDueTime : static_cast<std::int64_t>(due);
}

std::int64_t RateSchedule::dueAfter(const Interval& interval, std::int64_t due,
                                    std::int64_t notBefore) const {
    const u128 period = u128{interval.periodCycles} * static_cast<std::uint64_t>(cycleTicks_);
    const u128 gap = static_cast<std::uint64_t>(notBefore - due);
    const u128 next = static_cast<std::uint64_t>(due) + (gap + period - 1) / period * period;
    return next > kLatestTime ? kNoDueTime : static_cast<std::int64_t>(next);
}

void RateSchedule::push(NextDue next) {
    heap_.push_back(next);
    std::push_heap(heap_.begin(), heap_.end(), kEarliestFirst);
}

RateSchedule::NextDue RateSchedule::pop() {
    std::pop_heap(heap_.begin(), heap_.end(), kEarliestFirst);
    const NextDue next = heap_.back();
    heap_.pop_back();
    return next;
}

void RateSchedule::rebuild(std::int64_t headerTime) {
    heap_.clear();
    for (std::size_t i = 0; i < intervals_.size(); ++i) {
        const std::int64_t due = firstDueFrom(intervals_[i], headerTime);
        if (due != kNoDueTime)
            heap_.push_back({due, i});
    }
    std::make_heap(heap_.begin(), heap_.end(), kEarliestFirst);
}

const std::vector<std::size_t>& RateSchedule::dueAt(std::int64_t headerTime) {
    // A packet that starts where the last one left off keeps the schedule; one that starts
    // earlier or between the steps begins a new progression.
    if (!following_ || headerTime <= lastTime_ || (headerTime - lastTime_) % cycleTicks_ != 0)
        rebuild(headerTime);
    following_ = true;
    lastTime_ = headerTime;

    // Intervals that were due between two packets move on to their next due time.
    while (!heap_.empty() && heap_.front().headerTime < headerTime) {
        const NextDue stale = pop();
        const std::int64_t due = dueAfter(intervals_[stale.interval], stale.headerTime, headerTime);
        if (due != kNoDueTime)
            push({due, stale.interval});
    }

    due_.clear();
    dueIntervals_.clear();
    while (!heap_.empty() && heap_.front().headerTime == headerTime) {
        const std::size_t interval = pop().interval;
        due_.insert(due_.end(), intervals_[interval].rates.begin(),
                    intervals_[interval].rates.end());
        dueIntervals_.push_back(interval);
    }
    for (const std::size_t interval : dueIntervals_) {
        const std::int64_t due = headerTime == INT64_MAX
                                     ? kNoDueTime
                                     : dueAfter(intervals_[interval], headerTime, headerTime + 1);
        if (due != kNoDueTime)
            push({due, interval});
    }
    if (dueIntervals_.size() > 1)
        std::sort(due_.begin(), due_.end());
    return due_;
}

}  // namespace skelder
