#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

#include "app/file_results.hpp"
#include "telemetry/quick_scan.hpp"

namespace skelder {

// A removed file with everything the model knew of it, so an undo brings it back as it was.
struct RemovedFile {
    DroppedFileItem item;
    bool selected = false;
    FileResults results;
};

// One removal the user can take back: "Remove", "Remove Selected", removing the skipped files
// or "Clear".
struct RemovalRecord {
    // What the status line says of it: "Removed lap.mp4", "Removed 3 files".
    QString summary;
    std::vector<RemovedFile> files;
};

// The removals, newest last; the oldest go once there are more than `capacity`.
class RemovalHistory {
  public:
    static constexpr std::size_t capacity = 20;

    void push(RemovalRecord record);
    std::optional<RemovalRecord> pop();
    bool empty() const { return records_.empty(); }
    // The newest record; the history must not be empty.
    const RemovalRecord& newest() const { return records_.back(); }

  private:
    std::vector<RemovalRecord> records_;
};

// "Removed lap.mp4" for one file, "Removed 3 files" for more (a clearing says "Cleared").
QString removalSummary(const std::vector<RemovedFile>& files, bool cleared);

}  // namespace skelder
