#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace skelder::testing {

// A fresh directory under the system temporary directory, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// A fresh folder of its own as the system temporary directory (TMPDIR) while the object lives,
// so that a test sees what an export leaves there; the previous setting comes back after.
class TemporaryFolderOverride {
  public:
    TemporaryFolderOverride();
    ~TemporaryFolderOverride();

    const std::filesystem::path& path() const { return folder_.path(); }
    bool isEmpty() const { return std::filesystem::is_empty(folder_.path()); }

  private:
    TempDir folder_;
    std::optional<std::string> previous_;
};

void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::string readTextFile(const std::filesystem::path& path);

}  // namespace skelder::testing
