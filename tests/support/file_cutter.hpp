#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

namespace skelder::testing {

// Cuts a file to a random length and writes it back whole, over and over on its own thread,
// as a card pulled during a copy or a sync tool rewriting the file does to a reader. Between
// two cuts the file stays whole for a random time up to `longestWholePause`, so that some
// reads fall between two cuts. The file is whole again once the cutter is destroyed.
class FileCutter {
  public:
    FileCutter(std::filesystem::path path, std::vector<std::uint8_t> contents,
               std::chrono::microseconds longestWholePause);
    ~FileCutter();
    FileCutter(const FileCutter&) = delete;
    FileCutter& operator=(const FileCutter&) = delete;

    int cuts() const { return cuts_.load(); }

  private:
    void run(std::stop_token stop);

    std::filesystem::path path_;
    std::vector<std::uint8_t> contents_;
    std::chrono::microseconds longestWholePause_;
    std::atomic<int> cuts_{0};
    std::jthread thread_;
};

}  // namespace skelder::testing
