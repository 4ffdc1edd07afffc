#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skelder {

// Which rates are due in each payload cycle: a rate is due when the cycle's header time is a
// multiple of its interval. Testing every rate in every cycle makes a file that declares
// thousands of rarely due rates cost cycles × rates; instead the schedule keeps, for every
// distinct interval, the next header time at which it is due, so a cycle costs only what is
// due in it. The cycles of a packet, and of packets that continue each other, lie on one
// progression of header times (a fixed step, the shortest interval); the schedule follows it
// from packet to packet and is only rebuilt when a packet starts off it.
class RateSchedule {
  public:
    // `rateIntervals` holds one interval per rate, in rate order (0: never due);
    // `cycleTicks` is the step between cycles, at least 1.
    RateSchedule(const std::vector<std::uint64_t>& rateIntervals, std::int64_t cycleTicks);

    // The indices of the rates due at `headerTime` (not negative), ascending. Calls for the
    // cycles of a packet come in order, one step apart; the result stays valid until the
    // next call.
    const std::vector<std::size_t>& dueAt(std::int64_t headerTime);

  private:
    struct Interval {
        std::uint64_t ticks;
        // Due times lie on the progression when the header time is a multiple of
        // gcd(ticks, cycle step); they repeat every `periodCycles` cycles.
        std::uint64_t commonDivisor;
        std::uint64_t periodCycles;
        std::uint64_t stepInverse;  // (cycle step ÷ commonDivisor)⁻¹ modulo periodCycles
        std::vector<std::size_t> rates;
    };
    struct NextDue {
        std::int64_t headerTime;
        std::size_t interval;
    };

    void rebuild(std::int64_t headerTime);
    // The first due time of an interval at or after `headerTime`, on the progression through
    // it, or -1 when there is none within the tick range.
    std::int64_t firstDueFrom(const Interval& interval, std::int64_t headerTime) const;
    // The due time after `due` on the same progression, or -1 beyond the tick range.
    std::int64_t dueAfter(const Interval& interval, std::int64_t due, std::int64_t notBefore) const;
    void push(NextDue next);
    NextDue pop();

    std::vector<Interval> intervals_;
    std::int64_t cycleTicks_;
    std::vector<NextDue> heap_;  // min-heap on headerTime
    bool following_ = false;     // heap_ follows the progression through lastTime_
    std::int64_t lastTime_ = 0;
    std::vector<std::size_t> due_;
    std::vector<std::size_t> dueIntervals_;
};

}  // namespace skelder
