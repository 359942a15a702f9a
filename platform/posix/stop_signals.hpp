// The POSIX side of stop requests, for the other POSIX and X11 backends.
#pragma once

namespace platform::posix {

// The longest a backend waits without looking at the stop request.
inline constexpr int WaitSliceMilliseconds = 50;

// Takes the pending stop request, if any: true when there was one.
bool takeStopRequest();

// Whether a posted quit request waits in the message queue: a stop request
// too, until it is taken. (Told by the queue, messages.cpp.)
void setQuitWaiting(bool waiting);

// A clock for time limits that wall-clock changes do not move. (clock.cpp)
long long monotonicMilliseconds();

} // namespace platform::posix
