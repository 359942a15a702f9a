// Restart of the Folding@home client's service on the companion server's
// command.
#pragma once

struct MonitorState;

// Pause between stopping and starting the service.
inline constexpr int ServiceRestartPauseMilliseconds = 5000;

// Longest wait for one service command before it is ended.
inline constexpr int ServiceCommandTimeLimitMilliseconds = 60000;

// True when name can be handed to the service commands as one argument: not
// empty, and free of double quotes, percent signs and control characters,
// which a command line could read as something other than the name.
bool serviceNameIsUsable(const char* name);

// Stops the service named serviceName, waits, and starts it again. A name
// that is not usable runs nothing. Returns 1 when the commands ran, else 0.
int restartClientService(MonitorState& state);
