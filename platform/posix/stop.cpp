// SIGINT and SIGTERM set a pending stop request. The handlers are installed
// without SA_RESTART, so a blocking call returns at once with EINTR; the
// waits of the backends run in short slices and look at the request between
// them, so a signal that lands just before a wait is seen too.
#include "platform/stop.hpp"
#include "platform/posix/stop_signals.hpp"

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t pendingStop = 0; // until taken as the quit message
bool watching = false;

extern "C" void onStopSignal(int) {
    pendingStop = 1;
}

} // namespace

void watchStopRequests() {
    if (watching) {
        return;
    }
    watching = true;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() {
    return pendingStop != 0;
}

namespace posix {

bool takeStopRequest() {
    if (pendingStop == 0) {
        return false;
    }
    pendingStop = 0;
    return true;
}

} // namespace posix
} // namespace platform
