#include "samples/temporary_sibling.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace skelder::samples {

namespace {
std::atomic<unsigned> sequence{0};
}

TemporarySibling::TemporarySibling(const std::filesystem::path& destination,
                                   std::string_view purpose)
    : destination_(destination) {
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
    const std::string base = "." + destination.filename().string() + "." + std::string(purpose);
    for (;;) {
        path_ = folder / (base + "-" + std::to_string(::getpid()) + "-" +
                          std::to_string(sequence.fetch_add(1)) + ".tmp");
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return;
        }
        if (errno != EEXIST) {
            throw std::filesystem::filesystem_error(
                "cannot create a file next to it", destination,
                std::error_code(errno, std::generic_category()));
        }
    }
}

TemporarySibling::~TemporarySibling() {
    if (!moved_) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
}

void TemporarySibling::moveIntoPlace() {
    if (::rename(path_.c_str(), destination_.c_str()) != 0) {
        throw std::filesystem::filesystem_error("cannot replace", destination_,
                                                std::error_code(errno, std::generic_category()));
    }
    moved_ = true;
}

}  // namespace skelder::samples
