// Stop requests on the fake platform: set by a test, never by a signal.
#pragma once

namespace fake {

// What stopRequested() answers.
extern bool stopPending;

} // namespace fake
