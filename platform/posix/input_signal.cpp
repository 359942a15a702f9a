#include "platform/posix/input_signal.hpp"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform::posix {
namespace {

volatile std::sig_atomic_t signals = 0;

extern "C" void onInput(int) {
    signals = static_cast<std::sig_atomic_t>((signals + 1) & 0x3FFFFFFF);
}

bool installHandler() {
    struct sigaction action {};
    action.sa_handler = onInput;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGIO, &action, nullptr) == 0;
}

} // namespace

bool watchInput(int fd) {
    static const bool installed = installHandler();
    const int flags = fcntl(fd, F_GETFL);
    return installed && flags != -1 && fcntl(fd, F_SETOWN, getpid()) == 0 &&
           fcntl(fd, F_SETFL, flags | O_ASYNC) == 0;
}

unsigned inputSignals() {
    return static_cast<unsigned>(signals);
}

} // namespace platform::posix
