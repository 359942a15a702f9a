// The monitor's start-up, idle loop and shutdown.
#pragma once

#include "platform/types.hpp"

struct MonitorState;

// Runs the monitor; returns the exit code.
int monitorMain(MonitorState& state, platform::NativeHandle instance);

// Start-up up to the idle loop. Returns false when the unit file is missing
// (the display is then released and the monitor must end with code 0).
bool startMonitor(MonitorState& state, platform::NativeHandle instance);

enum class PassResult { Continue, Quit, ServerStop };

// One pass of the idle loop; quitCode receives the quit request's code.
PassResult runIdlePass(MonitorState& state, int& quitCode);

// The periodic update: re-read, status exchange, tooltip.
void runUpdate(MonitorState& state);

// Shutdown statistics, final record and release of the display.
void shutdownMonitor(MonitorState& state);
