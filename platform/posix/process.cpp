#include "platform/process.hpp"

#include <sched.h>
#include <sys/resource.h>

namespace platform {

NativeHandle moduleInstance() {
    return nullptr;
}

void setIdlePriority() {
    setpriority(PRIO_PROCESS, 0, 19);
#ifdef SCHED_IDLE
    sched_param parameters{};
    sched_setscheduler(0, SCHED_IDLE, &parameters); // refused without permission: nice 19 stays
#endif
}

const char* appendTextMode() {
    return "a";
}

} // namespace platform
