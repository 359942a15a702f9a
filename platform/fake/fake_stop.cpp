#include "platform/fake/fake_stop.hpp"

#include "platform/fake/fake_platform.hpp"
#include "platform/stop.hpp"

#include <algorithm>

namespace fake {
bool stopPending = false;
}

namespace platform {

void watchStopRequests() {
    fake::platform().calls.push_back("watchStopRequests");
}

// As on the real platforms, a posted quit request still in the queue is a
// stop request too.
bool stopRequested() {
    const auto& queued = fake::platform().messages;
    return fake::stopPending || std::any_of(queued.begin(), queued.end(),
                                            [](const fake::QueuedMessage& m) { return m.isQuit; });
}

} // namespace platform
