#pragma once

#include <cstdint>
#include <filesystem>

namespace skelder {

// Whether a file name ends in ".mp4", in any case.
bool hasMP4Extension(const std::filesystem::path& path);

// Checks the extension, the regular-file flag and the size; returns the size in bytes.
// A failing attribute query throws std::filesystem::filesystem_error unchanged.
std::uint64_t validateInput(const std::filesystem::path& inputURL);

}  // namespace skelder
