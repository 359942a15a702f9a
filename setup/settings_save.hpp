// Saving the settings without ever leaving a half-written "vigilon.ini".
#pragma once

#include "common/settings_file.hpp"

inline constexpr const char* SettingsTemporaryName = "vigilon.ini.new";

// Writes the settings beside the old file, followed by the old file's lines
// that the tool does not write itself, then puts them in its place in one
// step. Returns false when either fails: the temporary file is removed and
// the old file stays as it was.
bool saveSettingsFile(const SetupSettings& settings);
