#include "highlights/session_cache.hpp"

namespace skelder {

std::optional<TelemetrySession> TelemetrySessionCache::lookup(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    const auto found = sessionsByKey_.find(key);
    if (found == sessionsByKey_.end())
        return std::nullopt;
    return found->second;
}

void TelemetrySessionCache::store(TelemetrySession session, const std::string& key) {
    const std::lock_guard lock(mutex_);
    const auto [position, inserted] = sessionsByKey_.insert_or_assign(key, std::move(session));
    if (inserted)
        insertionOrder_.push_back(key);
    while (sessionsByKey_.size() > maxEntries && !insertionOrder_.empty()) {
        sessionsByKey_.erase(insertionOrder_.front());
        insertionOrder_.erase(insertionOrder_.begin());
    }
}

std::vector<std::string> TelemetrySessionCache::insertionOrder() const {
    const std::lock_guard lock(mutex_);
    return insertionOrder_;
}

std::size_t TelemetrySessionCache::size() const {
    const std::lock_guard lock(mutex_);
    return sessionsByKey_.size();
}

}  // namespace skelder
