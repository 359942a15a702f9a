// Submission of a finished unit to the team statistics site.
#pragma once

struct MonitorState;

// The statistics site's host, also named in the event log.
inline constexpr const char* StatsSiteHost = "stats.vantor.net";

// Reports the finished unit (previousUnitName, frameMinutes, unitCount, and
// the core it ran on) by HTTP GET and saves the answer to "Vantor.html".
// Returns the download's result code.
int submitUnitStats(MonitorState& state, const char* finishedCore);
