// SIGINT and SIGTERM set a pending stop request. The handlers are installed
// without SA_RESTART, so a blocking call returns at once with EINTR; the
// waits of the backends run in short slices and look at the request between
// them, so a signal that lands just before a wait is seen too. A quit request
// posted to the message queue (the close box or Escape, taken by the wait
// hook) is a stop request as well until the idle loop takes it.
#include "platform/stop.hpp"
#include "platform/posix/stop_signals.hpp"

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t pendingStop = 0; // until taken as the quit message
bool quitWaiting = false;
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
    return pendingStop != 0 || quitWaiting;
}

namespace posix {

bool takeStopRequest() {
    if (pendingStop == 0) {
        return false;
    }
    pendingStop = 0;
    return true;
}

void setQuitWaiting(bool waiting) {
    quitWaiting = waiting;
}

} // namespace posix
} // namespace platform
