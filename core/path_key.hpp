#pragma once

#include <filesystem>
#include <string>

namespace skelder {

// The one identity of a file everywhere in the app: the absolute path with "." and ".."
// resolved and redundant separators removed (links are not followed).
inline std::string pathKey(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    if (absolute.empty())
        absolute = path;
    return absolute.lexically_normal().string();
}

}  // namespace skelder
