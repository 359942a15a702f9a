// Stop requests: Ctrl+C and SIGTERM on Linux; on Windows a close request or
// Escape queued for the window; on both a posted quit request (the core
// posts it for the window's close box and Escape, also when the wait hook
// takes them during a wait). A request becomes the quit message, and until
// it is taken from the queue every wait that can block (a connection step,
// an HTTP request, a service command, a pause) ends early as a failed step,
// so the shutdown follows at once.
#pragma once

namespace platform {

// Starts watching for stop requests. It is the first step of start-up, so a
// request arriving at any later moment ends the program in order.
void watchStopRequests();

// True while a stop request waits to be taken as the quit message.
bool stopRequested();

} // namespace platform
