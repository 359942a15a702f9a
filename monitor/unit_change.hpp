// What a new unit sets off, whichever source reported it: the finished
// unit's timing, and after the first pass its log entry, the lookup of the
// new unit, the statistics submission and the tooltip; then the count.
#pragma once

struct MonitorState;

// Runs the unit change for the unit now in unitName; previousUnitName names
// the finished one. The source has read (and closed) everything first.
void changeUnit(MonitorState& state);

// The database lookup of the current unit; for a unit of today's client
// whose project the database lacks, the client's own core type and credit
// fill in, with 100 frames.
void lookupCurrentUnit(MonitorState& state);
