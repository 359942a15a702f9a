// Lookup of the current unit's project in "database.txt".
#pragma once

struct MonitorState;

inline constexpr const char* ProteinDatabaseFileName = "database.txt";

// The project number encoded in the first six characters of a unit name.
int projectNumberOf(const char* unitName);

// Sets projectNumber from unitName and fills coreName, unitPoints and
// unitFrames from the first matching record ("Unknown", 0, 0 without one).
// Returns 1 when the database cannot be opened, else 0.
int lookupProtein(MonitorState& state);
