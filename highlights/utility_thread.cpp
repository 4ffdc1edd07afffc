#include "highlights/utility_thread.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace skelder {
namespace {

// Niceness added for utility work; background work (quick scans) goes lower still.
constexpr int kUtilityNicenessIncrease = 5;

}  // namespace

void lowerCurrentThreadToUtilityPriority() noexcept {
    // On Linux the nice value belongs to the thread, so only this thread is affected.
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (current == -1 && errno != 0)
        return;
    ::setpriority(PRIO_PROCESS, thread, current + kUtilityNicenessIncrease);
}

}  // namespace skelder
