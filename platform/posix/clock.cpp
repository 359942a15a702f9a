#include "platform/clock.hpp"

#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"

#include <algorithm>
#include <time.h>

namespace platform {

std::time_t currentTime() {
    return std::time(nullptr);
}

// Sleeps in slices, so that a stop request ends a long pause early.
void sleepMilliseconds(int milliseconds) {
    const long long deadline = posix::monotonicMilliseconds() + std::max(milliseconds, 0);
    for (;;) {
        long long left = deadline - posix::monotonicMilliseconds();
        if (left <= 0 || stopRequested()) {
            return;
        }
        long long slice = std::min<long long>(left, posix::WaitSliceMilliseconds);
        timespec rest{0, static_cast<long>(slice) * 1000000L};
        nanosleep(&rest, nullptr); // a signal cuts it short; the loop looks again
    }
}

} // namespace platform
