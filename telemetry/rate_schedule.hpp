#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skelder {

// Which rates are due in each payload cycle: a rate is due when the cycle's header time is a
// multiple of its interval. Testing every rate in every cycle makes a file that declares
// thousands of rarely due rates cost cycles × rates; instead the schedule keeps, for every
// distinct interval, the next header time at which it is due, so a cycle costs only what is
// due in it. Intervals due at least every kFrequentPeriodCycles cycles are simply checked in
// every cycle (each time they are due they take payload bytes, so the checks cost no more than
// the reading); the others wait in a heap ordered by their next due time.
//
// The cycles of a packet, and of packets that continue each other, lie on one progression of
// header times (a fixed step, the shortest interval); the schedule follows it from packet to
// packet and is only rebuilt when a packet starts off it.
class RateSchedule {
  public:
    static constexpr std::uint64_t kFrequentPeriodCycles = 16;

    // `rateIntervals` holds one interval per rate, in rate order (0: never due);
    // `cycleTicks` is the step between cycles, at least 1.
    RateSchedule(const std::vector<std::uint64_t>& rateIntervals, std::int64_t cycleTicks);

    // The indices of the rates due at `headerTime` (not negative), ascending. Calls for the
    // cycles of a packet come in order, one step apart; the result stays valid until the
    // next call.
    const std::vector<std::size_t>& dueAt(std::int64_t headerTime) {
        // The next cycle on the progression, with nothing in the heap due yet: only the
        // frequent intervals need a look.
        if (!following_ || headerTime - lastTime_ != cycleTicks_ ||
            (!heap_.empty() && heap_.front().headerTime <= headerTime)) {
            return dueAtAnyTime(headerTime);
        }
        lastTime_ = headerTime;
        due_.clear();
        dueIntervals_ = 0;
        takeDueFrequentIntervals(headerTime);
        if (dueIntervals_ > 1 && !ratesInIntervalOrder_)
            sortDue();
        return due_;
    }

  private:
    // One distinct interval of `ticks`: its due times lie on the progression through a header
    // time when that time is a multiple of gcd(ticks, cycle step), and then repeat every
    // `periodCycles` cycles, that is every `periodTicks` (0 when that passes the tick range).
    struct Interval {
        std::uint64_t commonDivisor;
        std::uint64_t periodCycles;
        std::uint64_t stepInverse;  // (cycle step ÷ commonDivisor)⁻¹ modulo periodCycles
        std::int64_t periodTicks;
        std::vector<std::size_t> rates;
        std::int64_t nextDue = 0;  // frequent intervals only; the heap holds the others'
    };
    struct NextDue {
        std::int64_t headerTime;
        std::size_t interval;
    };

    // dueAt after a jump: a new packet, or a cycle where an interval from the heap is due.
    const std::vector<std::size_t>& dueAtAnyTime(std::int64_t headerTime);
    void rebuild(std::int64_t headerTime);
    // The first due time of an interval at or after `headerTime`, on the progression through
    // it, or -1 when there is none within the tick range.
    std::int64_t firstDueFrom(const Interval& interval, std::int64_t headerTime) const;
    // The first due time at or after `notBefore` (later than `due`) on the progression
    // through `due`, or -1 beyond the tick range.
    std::int64_t dueAfter(const Interval& interval, std::int64_t due, std::int64_t notBefore) const;
    // The due time that follows one at `due`, or -1 beyond the tick range.
    static std::int64_t nextDue(const Interval& interval, std::int64_t due) {
        if (interval.periodTicks == 0 || due > INT64_MAX - interval.periodTicks)
            return -1;
        return due + interval.periodTicks;
    }
    void take(std::size_t interval) {
        const std::vector<std::size_t>& rates = intervals_[interval].rates;
        if (rates.size() == 1)
            due_.push_back(rates.front());
        else
            due_.insert(due_.end(), rates.begin(), rates.end());
        ++dueIntervals_;
    }
    // Takes the frequent intervals due at `headerTime`; none of them is due earlier.
    void takeDueFrequentIntervals(std::int64_t headerTime) {
        for (const std::size_t i : frequent_) {
            Interval& interval = intervals_[i];
            if (interval.nextDue == headerTime) {
                take(i);
                interval.nextDue = nextDue(interval, headerTime);
            }
        }
    }
    void sortDue();
    void push(NextDue next);
    NextDue pop();

    std::vector<Interval> intervals_;
    std::int64_t cycleTicks_;
    std::vector<std::size_t> frequent_;  // frequent intervals with due times on the progression
    std::vector<NextDue> heap_;          // the other intervals with due times, earliest first
    bool following_ = false;             // the schedule follows the progression through lastTime_
    std::int64_t lastTime_ = 0;
    bool ratesInIntervalOrder_ = true;  // every interval's rates follow each other
    std::vector<std::size_t> due_;
    std::size_t dueIntervals_ = 0;
    std::vector<std::size_t> dueFromHeap_;
};

}  // namespace skelder
