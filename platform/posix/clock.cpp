#include "platform/clock.hpp"

#include <cerrno>
#include <time.h>

namespace platform {

std::time_t currentTime() {
    return std::time(nullptr);
}

void sleepMilliseconds(int milliseconds) {
    timespec rest{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
        // a signal (a quit request) cut the sleep short: finish it
    }
}

} // namespace platform
