#pragma once

#include <filesystem>

namespace skelder {

// Every temporary file exports are writing right now, so that a process told to end at once
// (a second Ctrl-C) can still remove them. Thread-safe.
class TemporaryFiles {
  public:
    // Removes every registered file; for the last moments of a process.
    static void removeAll() noexcept;
};

// Registers a temporary file for as long as it lives.
class RegisteredTemporaryFile {
  public:
    explicit RegisteredTemporaryFile(std::filesystem::path path);
    ~RegisteredTemporaryFile();
    RegisteredTemporaryFile(const RegisteredTemporaryFile&) = delete;
    RegisteredTemporaryFile& operator=(const RegisteredTemporaryFile&) = delete;

  private:
    std::filesystem::path path_;
};

}  // namespace skelder
