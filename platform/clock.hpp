// Wall-clock time and sleeping.
#pragma once

#include <ctime>

namespace platform {

// Current time in whole seconds since the epoch.
std::time_t currentTime();

// Blocks the thread for the given number of milliseconds.
void sleepMilliseconds(int milliseconds);

} // namespace platform
