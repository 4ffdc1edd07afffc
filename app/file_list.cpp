#include "app/file_list.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace skelder {

bool isScanFailed(const DroppedFileItem& item) {
    return std::holds_alternative<QuickScanFailed>(item.quickScanStatus);
}

bool isScanDone(const DroppedFileItem& item) {
    return std::holds_alternative<QuickScanDone>(item.quickScanStatus);
}

bool isScanUnfinished(const DroppedFileItem& item) {
    return std::holds_alternative<QuickScanPending>(item.quickScanStatus) ||
           std::holds_alternative<QuickScanScanning>(item.quickScanStatus);
}

void sortByFileName(std::vector<DroppedFileItem>& files) {
    std::stable_sort(files.begin(), files.end(),
                     [](const DroppedFileItem& a, const DroppedFileItem& b) {
                         return a.url.filename().string() < b.url.filename().string();
                     });
}

std::string fileListStatusLine(const std::vector<DroppedFileItem>& files,
                               std::size_t selectedCount) {
    if (files.empty())
        return "Drop MP4 files to begin";
    const auto finished = std::count_if(files.begin(), files.end(),
                                        [](const auto& item) { return !isScanUnfinished(item); });
    const bool ready = static_cast<std::size_t>(finished) == files.size();
    return fmt::format("{} file(s), {} selected \u2022 scanned {}/{}{}", files.size(),
                       selectedCount, finished, files.size(), ready ? " \u2022 ready" : "");
}

std::string rejectionLine(const std::filesystem::path& url, const std::string& failureDescription) {
    return url.filename().string() + ": " + classifyScanFailure(failureDescription);
}

}  // namespace skelder
