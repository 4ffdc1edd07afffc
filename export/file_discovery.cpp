#include "export/file_discovery.hpp"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "core/path_key.hpp"
#include "telemetry/input_file.hpp"

namespace skelder {
namespace {

bool isHidden(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
}

}  // namespace

std::vector<std::filesystem::path> mp4Files(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    std::filesystem::recursive_directory_iterator entries(
        directory, std::filesystem::directory_options::skip_permission_denied, error);
    if (error)
        return found;
    const std::filesystem::recursive_directory_iterator end;
    while (entries != end) {
        const std::filesystem::path& path = entries->path();
        if (isHidden(path)) {
            if (entries->is_directory(error))
                entries.disable_recursion_pending();
        } else if (hasMP4Extension(path)) {
            found.push_back(path);
        }
        entries.increment(error);
        if (error)
            break;
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::filesystem::path> uniqueURLs(const std::vector<std::filesystem::path>& urls) {
    std::vector<std::filesystem::path> unique;
    std::set<std::string> seen;
    for (const auto& url : urls) {
        if (seen.insert(pathKey(url)).second)
            unique.push_back(url);
    }
    return unique;
}

std::vector<std::filesystem::path> collectMP4Items(
    const std::vector<std::filesystem::path>& items) {
    std::vector<std::filesystem::path> collected;
    for (const auto& item : items) {
        std::error_code error;
        if (std::filesystem::is_directory(item, error)) {
            const auto inside = mp4Files(item);
            collected.insert(collected.end(), inside.begin(), inside.end());
        } else if (hasMP4Extension(item)) {
            collected.push_back(item);
        }
    }
    return uniqueURLs(collected);
}

}  // namespace skelder
