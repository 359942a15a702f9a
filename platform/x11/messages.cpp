// The message queue without a display: an internal queue of quit requests,
// fed by postQuit and by SIGINT and SIGTERM, so that Ctrl+C or a service
// stop ends the monitor through its normal shutdown.
#include "platform/messages.hpp"

#include <csignal>
#include <deque>

namespace platform {
namespace {

volatile std::sig_atomic_t signalledQuit = 0;
std::deque<int> postedQuits;
bool handlersInstalled = false;

extern "C" void onQuitSignal(int) {
    signalledQuit = 1;
}

void installHandlers() {
    if (handlersInstalled) {
        return;
    }
    handlersInstalled = true;
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

bool takeMessage(Message& message) {
    installHandlers();
    if (signalledQuit != 0) {
        signalledQuit = 0;
        message.isQuit = true;
        message.exitCode = 0;
        return true;
    }
    if (postedQuits.empty()) {
        return false;
    }
    message.isQuit = true;
    message.exitCode = postedQuits.front();
    postedQuits.pop_front();
    return true;
}

void dispatchMessage(Message&) {}

void postQuit(int exitCode) {
    postedQuits.push_back(exitCode);
}

} // namespace platform
