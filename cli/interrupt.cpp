#include "cli/interrupt.hpp"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>

#include "export/temporary_files.hpp"

namespace skelder::cli {
namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);  // wakes the watcher when the command ends
    return set;
}

}  // namespace

InterruptToStop::InterruptToStop() {
    // Block the signals before any other thread starts, so only the watcher receives them.
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    watcher_ = std::jthread([this, set](std::stop_token done) {
        int signal = 0;
        while (sigwait(&set, &signal) == 0) {
            if (done.stop_requested())
                return;
            if (signal == SIGINT || signal == SIGTERM) {
                // The first asks for a clean stop; a second one means "now", and still takes
                // the half-written files along.
                if (source_.stop_requested()) {
                    TemporaryFiles::removeAll();
                    std::_Exit(128 + signal);
                }
                source_.request_stop();
            }
        }
    });
}

InterruptToStop::~InterruptToStop() {
    watcher_.request_stop();
    pthread_kill(watcher_.native_handle(), SIGUSR1);
    watcher_.join();
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace skelder::cli
