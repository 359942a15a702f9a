// The status exchange with the companion server.
#pragma once

struct MonitorState;

inline constexpr unsigned short CompanionServerPort = 25876;

// One exchange: greeting, status record, one-byte command. Returns 1 when the
// connection was opened, else 0.
int exchangeStatus(MonitorState& state);

// The final record at shutdown, sent without waiting for anything.
int sendFinalStatus(MonitorState& state);
