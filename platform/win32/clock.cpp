// Wall-clock time, the monotonic clock and sleeping on Windows.
#include "platform/clock.hpp"

#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"
#include "platform/win32/wait_slices.hpp"

#include <algorithm>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

std::time_t currentTime() {
    return std::time(nullptr);
}

long long monotonicMilliseconds() {
    return static_cast<long long>(GetTickCount64());
}

// Sleeps in slices, so that a stop request ends a long pause early; a pause
// longer than an idle tick serves the wait hook between them.
void sleepMilliseconds(int milliseconds) {
    const bool hooked = milliseconds > HookedSleepAboveMilliseconds;
    const ULONGLONG deadline =
        GetTickCount64() + static_cast<ULONGLONG>(milliseconds > 0 ? milliseconds : 0);
    for (ULONGLONG now = GetTickCount64(); now < deadline && !stopRequested();
         now = GetTickCount64()) {
        Sleep(
            static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, win32::WaitSliceMilliseconds)));
        if (hooked) {
            serviceWaitHook();
        }
    }
}

} // namespace platform
