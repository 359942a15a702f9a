#pragma once

struct MonitorState;

// Reads the monitor's settings from "vigilon.ini"; applies the defaults for a
// missing file. Returns 1 when read, 0 when the file cannot be opened.
int readSettings(MonitorState& state);

// Update ticks for a delay in minutes (at least 1), clamped so that the
// product always fits an int.
int ticksForMinutes(int minutes);
