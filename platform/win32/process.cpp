// The process on Windows: the module handle, the idle priority class and the
// text-mode append that stores line ends as CR LF.
#include "platform/process.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

NativeHandle moduleInstance() {
    return GetModuleHandleA(nullptr);
}

void setIdlePriority() {
    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
}

const char* appendTextMode() {
    return "at";
}

} // namespace platform
