#include "platform/fake/fake_stop.hpp"

#include "platform/fake/fake_platform.hpp"
#include "platform/stop.hpp"

namespace fake {
bool stopPending = false;
}

namespace platform {

void watchStopRequests() {
    fake::platform().calls.push_back("watchStopRequests");
}

bool stopRequested() {
    return fake::stopPending;
}

} // namespace platform
