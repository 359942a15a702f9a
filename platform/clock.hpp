// Wall-clock time, a monotonic clock and sleeping.
#pragma once

#include <ctime>

namespace platform {

// Current time in whole seconds since the epoch.
std::time_t currentTime();

// Milliseconds from an unspecified start, for intervals: wall-clock changes
// do not move it.
long long monotonicMilliseconds();

// Blocks the thread for the given number of milliseconds; a stop request
// ends it early. A sleep longer than an idle tick serves the wait hook
// (platform/wait_hook.hpp) between its slices.
void sleepMilliseconds(int milliseconds);

} // namespace platform
