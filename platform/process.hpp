// The process: its instance, its priority and the files it appends to.
#pragma once

#include "platform/types.hpp"

namespace platform {

// The program's module instance (null where the platform has none).
NativeHandle moduleInstance();

// Lowers the process to idle priority.
void setIdlePriority();

// fopen mode for appending text ("at" on Windows, "a" elsewhere).
const char* appendTextMode();

} // namespace platform
