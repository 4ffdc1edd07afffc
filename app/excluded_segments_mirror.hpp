#pragma once

#include <map>
#include <mutex>
#include <string>
#include <unordered_set>

#include "highlights/segments.hpp"

namespace skelder {

using SegmentKeySet = std::unordered_set<PlannedSegmentKey>;
using ExcludedSegmentsByPath = std::map<std::string, SegmentKeySet>;

// A copy of the model's exclusions that a running reel export reads from its own thread.
// The model replaces it on the main thread in the same step that changes its property, so a
// read returns exactly what the property holds at that moment; the export thread never waits
// for the main thread (which may itself be waiting for the export to end).
class ExcludedSegmentsMirror {
  public:
    void publish(const ExcludedSegmentsByPath& excluded) {
        const std::lock_guard lock(mutex_);
        excluded_ = excluded;
    }

    SegmentKeySet lookup(const std::string& pathKey) const {
        const std::lock_guard lock(mutex_);
        const auto found = excluded_.find(pathKey);
        return found == excluded_.end() ? SegmentKeySet{} : found->second;
    }

  private:
    mutable std::mutex mutex_;
    ExcludedSegmentsByPath excluded_;
};

}  // namespace skelder
