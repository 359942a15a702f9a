// The status window's service while a step waits (a companion server
// exchange, the statistics request, the service restart): the backends'
// sliced waits call it between their slices, so the window keeps answering
// and showing while the idle loop cannot.
#pragma once

struct MonitorState;

// Registers the service for this monitor. From then on each sliced wait
// takes and dispatches the window's messages, never the quit request (a
// close request or Escape so taken posts it, which ends the wait as a failed
// step and leaves the quit for the idle loop), and draws the status frame
// about once a second in window mode.
void installWaitService(MonitorState& state);
