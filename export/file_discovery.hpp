#pragma once

#include <filesystem>
#include <vector>

namespace skelder {

// Every entry under a folder (recursively, hidden files and folders skipped) whose name
// ends in ".mp4" in any case, sorted by path. Empty when the folder cannot be listed.
std::vector<std::filesystem::path> mp4Files(const std::filesystem::path& directory);

// The first of every path key, in order.
std::vector<std::filesystem::path> uniqueURLs(const std::vector<std::filesystem::path>& urls);

// Dropped or chosen items: folders contribute their MP4 files, other items count when their
// extension is "mp4" in any case; duplicates removed.
std::vector<std::filesystem::path> collectMP4Items(const std::vector<std::filesystem::path>& items);

}  // namespace skelder
