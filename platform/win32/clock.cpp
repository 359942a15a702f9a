// Wall-clock time and sleeping on Windows.
#include "platform/clock.hpp"

#include "platform/stop.hpp"
#include "platform/win32/wait_slices.hpp"

#include <algorithm>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

std::time_t currentTime() {
    return std::time(nullptr);
}

// Sleeps in slices, so that a stop request ends a long pause early.
void sleepMilliseconds(int milliseconds) {
    const ULONGLONG deadline =
        GetTickCount64() + static_cast<ULONGLONG>(milliseconds > 0 ? milliseconds : 0);
    for (ULONGLONG now = GetTickCount64(); now < deadline && !stopRequested();
         now = GetTickCount64()) {
        Sleep(
            static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, win32::WaitSliceMilliseconds)));
    }
}

} // namespace platform
