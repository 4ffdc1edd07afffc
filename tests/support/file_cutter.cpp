#include "tests/support/file_cutter.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <system_error>

namespace skelder::testing {
namespace {

void writeWhole(const std::filesystem::path& path, const std::vector<std::uint8_t>& contents) {
    // In place: the file keeps its inode, so a reader that opened it sees every change.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "open " + path.string());
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::pwrite(fd, contents.data() + written, contents.size() - written,
                                   static_cast<off_t>(written));
        if (n <= 0) {
            ::close(fd);
            throw std::system_error(errno, std::generic_category(), "write " + path.string());
        }
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace

FileCutter::FileCutter(std::filesystem::path path, std::vector<std::uint8_t> contents,
                       std::chrono::microseconds longestWholePause)
    : path_(std::move(path)),
      contents_(std::move(contents)),
      longestWholePause_(longestWholePause) {
    if (contents_.empty())
        throw std::invalid_argument("nothing to cut");
    writeWhole(path_, contents_);
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

FileCutter::~FileCutter() {
    thread_.request_stop();
    thread_.join();
    writeWhole(path_, contents_);
}

void FileCutter::run(std::stop_token stop) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> length(0, contents_.size() - 1);
    std::uniform_int_distribution<int> cutMicroseconds(0, 400);
    std::uniform_int_distribution<std::int64_t> wholeMicroseconds(0, longestWholePause_.count());
    while (!stop.stop_requested()) {
        std::filesystem::resize_file(path_, length(random));
        ++cuts_;
        std::this_thread::sleep_for(std::chrono::microseconds(cutMicroseconds(random)));
        writeWhole(path_, contents_);
        std::this_thread::sleep_for(std::chrono::microseconds(wholeMicroseconds(random)));
    }
}

}  // namespace skelder::testing
