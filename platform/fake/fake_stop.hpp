// Stop requests on the fake platform: set by a test, never by a signal.
#pragma once

namespace fake {

// What stopRequested() answers, besides a quit request in the queue.
extern bool stopPending;

} // namespace fake
