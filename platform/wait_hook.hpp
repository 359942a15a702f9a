// The one hook that keeps the program's window alive while a step waits.
// Every backend wait that runs in slices (the steps of a TCP connection, an
// HTTP request, a service command, a sleep longer than an idle tick) calls
// serviceWaitHook between its slices, on the waiting thread, and looks at
// stopRequested after it: a close request the hook takes ends the wait as a
// failed step. The hook itself never waits.
#pragma once

namespace platform {

using WaitHook = void (*)(void* context);

// Sleeps longer than this (one idle tick) call the hook between slices; an
// idle tick's own sleep does not, since the idle loop serves the window.
inline constexpr int HookedSleepAboveMilliseconds = 100;

// Registers the hook and its context; a null hook removes it.
void setWaitHook(WaitHook hook, void* context);

// Calls the registered hook, if any.
void serviceWaitHook();

} // namespace platform
