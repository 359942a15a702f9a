// The client's unit file "../unitinfo.txt": current unit and progress, and
// the actions of a unit change.
#pragma once

struct MonitorState;

inline constexpr const char* UnitFilePath = "../unitinfo.txt";
inline constexpr const char* MissingUnitFileText =
    "Cannot locate unitinfo.txt file. Vigilon must be installed in your\n"
    "Folding @ Home directory to work properly.";

// Re-reads the unit file. Returns 1 when it was read, 0 when it cannot be
// opened (reported with a message box while firstRun is set).
int pollUnitFile(MonitorState& state);

// True when the unit file can be opened now.
bool unitFileExists();
