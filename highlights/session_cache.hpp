#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "highlights/session.hpp"

namespace skelder {

// The last analysed sessions by session key, forgotten first in, first out. Safe to use from
// any thread: operations run one at a time.
class TelemetrySessionCache {
  public:
    static constexpr std::size_t maxEntries = 24;

    // The session stored under the key; does not change the eviction order.
    std::optional<TelemetrySession> lookup(const std::string& key) const;

    // Stores (or replaces) the session under the key. A new key goes to the end of the
    // eviction order, a known one keeps its place; then the oldest keys beyond the capacity
    // are forgotten.
    void store(TelemetrySession session, const std::string& key);

    // Stored keys, oldest first.
    std::vector<std::string> insertionOrder() const;
    std::size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, TelemetrySession> sessionsByKey_;
    std::vector<std::string> insertionOrder_;
};

}  // namespace skelder
