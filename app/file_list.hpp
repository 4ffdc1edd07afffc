#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "telemetry/quick_scan.hpp"

namespace skelder {

// The path key of a listed file. The model lists every file under its path key (the url it
// keeps is the normalised path), so the key is the url's text: no normalising again, which a
// list of a thousand files would pay for on every lookup.
inline const std::string& listedKey(const DroppedFileItem& item) {
    return item.url.native();
}

// Scan states of one listed file.
bool isScanFailed(const DroppedFileItem& item);
bool isScanDone(const DroppedFileItem& item);
// Pending or scanning.
bool isScanUnfinished(const DroppedFileItem& item);

// Orders the list by file name (the last path component), plain character-by-character text
// order, so capitals come before small letters; files with equal names keep their order.
void sortByFileName(std::vector<DroppedFileItem>& files);

// The status line of a non-empty list: "3 file(s), 2 selected • scanned 3/3 • ready", the
// last part only when no file is pending or scanning. An empty list: "Drop MP4 files to begin".
std::string fileListStatusLine(const std::vector<DroppedFileItem>& files,
                               std::size_t selectedCount);

// The rejection alert's line for a file whose scan failed: "clip.mp4: No Kovra Data".
std::string rejectionLine(const std::filesystem::path& url, const std::string& failureDescription);

}  // namespace skelder
