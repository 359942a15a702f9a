// The event log "vigilon_log.txt": start banner, per-unit entries and the
// shutdown statistics, each appended by one open-write-close.
#pragma once

struct MonitorState;

inline constexpr const char* EventLogFileName = "vigilon_log.txt";

void writeStartEntry(MonitorState& state);
void writeUnitEntry(MonitorState& state);
void writeShutdownStatistics(MonitorState& state);

// Stamps logTime and appends its ctime text (with its newline) to the log.
void writeTimestamp(MonitorState& state);
