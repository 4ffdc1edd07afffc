#include "telemetry/rate_schedule.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

namespace skelder {
namespace {

using u128 = unsigned __int128;

constexpr std::int64_t kNoDueTime = -1;
constexpr u128 kLatestTime = INT64_MAX;

// a⁻¹ modulo n for a and n without common divisor (0 when n is 1), by the extended Euclidean
// algorithm. The coefficients stay within ±n, so 64-bit arithmetic does below 2^63; wider
// moduli take the slower 128-bit division.
template <typename Signed>
std::uint64_t modularInverseIn(std::uint64_t a, std::uint64_t n) {
    Signed t = 0, nextT = 1;
    Signed r = static_cast<Signed>(n), nextR = static_cast<Signed>(a % n);
    while (nextR != 0) {
        const Signed q = r / nextR;
        t = std::exchange(nextT, t - q * nextT);
        r = std::exchange(nextR, r - q * nextR);
    }
    if (t < 0)
        t += static_cast<Signed>(n);
    return static_cast<std::uint64_t>(t);
}

std::uint64_t modularInverse(std::uint64_t a, std::uint64_t n) {
    if (n <= static_cast<std::uint64_t>(INT64_MAX))
        return modularInverseIn<std::int64_t>(a, n);
    return modularInverseIn<__int128>(a, n);
}

// std heaps keep the largest element first; ordered by this, that is the earliest due time.
constexpr auto kEarliestFirst = [](const auto& a, const auto& b) {
    return a.headerTime > b.headerTime;
};

}  // namespace

RateSchedule::RateSchedule(const std::vector<std::uint64_t>& rateIntervals, std::int64_t cycleTicks)
    : cycleTicks_(std::max<std::int64_t>(cycleTicks, 1)) {
    const auto step = static_cast<std::uint64_t>(cycleTicks_);
    // Rates grouped by interval: sorted by interval, then by rate.
    std::vector<std::pair<std::uint64_t, std::size_t>> byTicks;
    for (std::size_t rate = 0; rate < rateIntervals.size(); ++rate) {
        if (rateIntervals[rate] != 0)
            byTicks.emplace_back(rateIntervals[rate], rate);
    }
    std::sort(byTicks.begin(), byTicks.end());
    for (std::size_t i = 0; i < byTicks.size(); ++i) {
        const std::uint64_t ticks = byTicks[i].first;
        if (i == 0 || ticks != byTicks[i - 1].first) {
            const std::uint64_t divisor = std::gcd(ticks, step);
            const std::uint64_t period = ticks / divisor;
            const u128 periodTicks = u128{period} * step;
            intervals_.push_back(
                {divisor,
                 period,
                 modularInverse(step / divisor, period),
                 periodTicks > kLatestTime ? 0 : static_cast<std::int64_t>(periodTicks),
                 {}});
        }
        intervals_.back().rates.push_back(byTicks[i].second);
    }
    // In the order of their first rates, intervals whose rates follow each other hand out
    // their due rates already in rate order (a recorder gives every interval one rate).
    std::sort(intervals_.begin(), intervals_.end(), [](const Interval& a, const Interval& b) {
        return a.rates.front() < b.rates.front();
    });
    ratesInIntervalOrder_ = std::all_of(
        intervals_.begin(), intervals_.end(),
        [](const Interval& i) { return i.rates.back() - i.rates.front() + 1 == i.rates.size(); });
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

void RateSchedule::sortDue() {
    std::sort(due_.begin(), due_.end());
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
    frequent_.clear();
    heap_.clear();
    for (std::size_t i = 0; i < intervals_.size(); ++i) {
        Interval& interval = intervals_[i];
        const std::int64_t due = firstDueFrom(interval, headerTime);
        if (due == kNoDueTime)
            continue;
        if (interval.periodCycles <= kFrequentPeriodCycles) {
            interval.nextDue = due;
            frequent_.push_back(i);
        } else {
            heap_.push_back({due, i});
        }
    }
    std::make_heap(heap_.begin(), heap_.end(), kEarliestFirst);
}

const std::vector<std::size_t>& RateSchedule::dueAtAnyTime(std::int64_t headerTime) {
    // A packet that starts where the last one left off keeps the schedule; one that starts
    // earlier or between the steps begins a new progression.
    const std::int64_t sinceLast = headerTime - lastTime_;
    if (!following_ || sinceLast <= 0 || sinceLast % cycleTicks_ != 0)
        rebuild(headerTime);
    following_ = true;
    lastTime_ = headerTime;
    due_.clear();
    dueIntervals_ = 0;

    // Due times that fell between two packets move on.
    for (const std::size_t i : frequent_) {
        Interval& interval = intervals_[i];
        if (interval.nextDue != kNoDueTime && interval.nextDue < headerTime)
            interval.nextDue = dueAfter(interval, interval.nextDue, headerTime);
    }
    takeDueFrequentIntervals(headerTime);

    while (!heap_.empty() && heap_.front().headerTime < headerTime) {
        const NextDue stale = pop();
        const std::int64_t due = dueAfter(intervals_[stale.interval], stale.headerTime, headerTime);
        if (due != kNoDueTime)
            push({due, stale.interval});
    }
    dueFromHeap_.clear();
    while (!heap_.empty() && heap_.front().headerTime == headerTime) {
        dueFromHeap_.push_back(pop().interval);
        take(dueFromHeap_.back());
    }
    for (const std::size_t interval : dueFromHeap_) {
        const std::int64_t due = nextDue(intervals_[interval], headerTime);
        if (due != kNoDueTime)
            push({due, interval});
    }

    if (dueIntervals_ > 1 && (!ratesInIntervalOrder_ || !dueFromHeap_.empty()))
        sortDue();
    return due_;
}

}  // namespace skelder
