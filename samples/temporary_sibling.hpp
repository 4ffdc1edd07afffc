#pragma once

#include <filesystem>
#include <string_view>

namespace skelder::samples {

// A new hidden file in the destination's folder, removed again unless it is moved into place, so
// a failed or cancelled write never leaves a broken destination behind. Throws
// std::filesystem::filesystem_error naming the destination when the folder is not writable.
class TemporarySibling {
  public:
    TemporarySibling(const std::filesystem::path& destination, std::string_view purpose);
    ~TemporarySibling();
    TemporarySibling(const TemporarySibling&) = delete;
    TemporarySibling& operator=(const TemporarySibling&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Atomically replaces the destination with this file.
    void moveIntoPlace();

  private:
    std::filesystem::path destination_;
    std::filesystem::path path_;
    bool moved_ = false;
};

}  // namespace skelder::samples
