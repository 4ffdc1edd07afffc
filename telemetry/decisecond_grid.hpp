#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace skelder {

// One decisecond of telemetry; every field is filled (carried forward when the
// recorder sent nothing new in that tenth of a second).
struct OverlayTelemetrySample {
    double speedMps = 0;
    double throttle = 0;
    double brake = 0;
    double rpm = 0;
    std::int64_t gear = 0;
    double latG = 0;
    double lonG = 0;
    double steeringDeg = 0;

    friend bool operator==(const OverlayTelemetrySample&, const OverlayTelemetrySample&) = default;
};

// Overlay samples keyed by decisecond index. The keys always form one unbroken
// range, so the grid is a first key plus a contiguous array; lookups are O(1).
class DecisecondGrid {
  public:
    struct Entry {
        std::int64_t decisecond;
        const OverlayTelemetrySample& sample;
    };

    class const_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using reference = Entry;

        const_iterator() = default;
        const_iterator(const DecisecondGrid* grid, std::size_t index)
            : grid_(grid), index_(index) {}

        Entry operator*() const {
            return {grid_->firstKey_ + static_cast<std::int64_t>(index_), grid_->samples_[index_]};
        }
        Entry operator[](difference_type n) const { return *(*this + n); }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) {
            auto copy = *this;
            ++index_;
            return copy;
        }
        const_iterator& operator--() {
            --index_;
            return *this;
        }
        const_iterator operator--(int) {
            auto copy = *this;
            --index_;
            return copy;
        }
        const_iterator& operator+=(difference_type n) {
            index_ += static_cast<std::size_t>(n);
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            index_ -= static_cast<std::size_t>(n);
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.index_ == b.index_;
        }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) {
            return a.index_ <=> b.index_;
        }

      private:
        const DecisecondGrid* grid_ = nullptr;
        std::size_t index_ = 0;
    };

    DecisecondGrid() = default;
    DecisecondGrid(std::int64_t firstKey, std::vector<OverlayTelemetrySample> samples)
        : firstKey_(firstKey), samples_(std::move(samples)) {}

    bool empty() const noexcept { return samples_.empty(); }
    std::size_t size() const noexcept { return samples_.size(); }

    // Smallest and largest key; only meaningful when the grid is not empty.
    std::int64_t firstKey() const noexcept { return firstKey_; }
    std::int64_t lastKey() const noexcept {
        return firstKey_ + static_cast<std::int64_t>(samples_.size()) - 1;
    }

    bool contains(std::int64_t decisecond) const noexcept {
        return !empty() && decisecond >= firstKey_ && decisecond <= lastKey();
    }
    // The sample at a key, or nullptr when the key lies outside the grid.
    const OverlayTelemetrySample* find(std::int64_t decisecond) const noexcept {
        return contains(decisecond) ? &samples_[static_cast<std::size_t>(decisecond - firstKey_)]
                                    : nullptr;
    }

    const std::vector<OverlayTelemetrySample>& samples() const noexcept { return samples_; }

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, samples_.size()}; }

    friend bool operator==(const DecisecondGrid& a, const DecisecondGrid& b) {
        return a.samples_ == b.samples_ && (a.empty() || a.firstKey_ == b.firstKey_);
    }

  private:
    std::int64_t firstKey_ = 0;
    std::vector<OverlayTelemetrySample> samples_;
};

}  // namespace skelder
