#include "platform/clock.hpp"

#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"

#include <algorithm>
#include <time.h>

namespace platform {
namespace {
constexpr long long SleepSliceMilliseconds = 1000;
}

namespace posix {

long long monotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace posix

std::time_t currentTime() {
    return std::time(nullptr);
}

long long monotonicMilliseconds() {
    return posix::monotonicMilliseconds();
}

// A stop signal cuts the sleep short (EINTR) and ends it; one landing just
// before a slice began is seen when the slice ends. An idle pass's 100 ms is
// one slice; a longer pause is slept in wait slices with the wait hook
// between them, so the window is served and a close request ends it.
void sleepMilliseconds(int milliseconds) {
    const bool hooked = milliseconds > HookedSleepAboveMilliseconds;
    const long long sliceLimit = hooked ? posix::WaitSliceMilliseconds : SleepSliceMilliseconds;
    const long long deadline = posix::monotonicMilliseconds() + std::max(milliseconds, 0);
    for (bool first = true;; first = false) {
        if (hooked && !first) {
            serviceWaitHook();
        }
        long long left = deadline - posix::monotonicMilliseconds();
        if (left <= 0 || stopRequested()) {
            return;
        }
        long long slice = std::min(left, sliceLimit);
        timespec rest{static_cast<time_t>(slice / 1000),
                      static_cast<long>(slice % 1000) * 1000000L};
        nanosleep(&rest, nullptr); // a signal cuts it short; the loop looks again
    }
}

} // namespace platform
