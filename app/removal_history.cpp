#include "app/removal_history.hpp"

namespace skelder {

void RemovalHistory::push(RemovalRecord record) {
    records_.push_back(std::move(record));
    if (records_.size() > capacity)
        records_.erase(records_.begin());
}

std::optional<RemovalRecord> RemovalHistory::pop() {
    if (records_.empty())
        return std::nullopt;
    RemovalRecord record = std::move(records_.back());
    records_.pop_back();
    return record;
}

QString removalSummary(const std::vector<RemovedFile>& files, bool cleared) {
    const QString verb = cleared ? QStringLiteral("Cleared") : QStringLiteral("Removed");
    if (files.size() == 1)
        return verb + QLatin1Char(' ') +
               QString::fromStdString(files.front().item.url.filename().string());
    return QStringLiteral("%1 %2 files").arg(verb).arg(files.size());
}

}  // namespace skelder
