// Wall-clock time and sleeping on Windows.
#include "platform/clock.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

std::time_t currentTime() {
    return std::time(nullptr);
}

void sleepMilliseconds(int milliseconds) {
    Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

} // namespace platform
