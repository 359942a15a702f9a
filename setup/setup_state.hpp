// The one record of the running setup tool: the settings the dialog edits
// and the dialog showing them.
#pragma once

#include "common/settings_file.hpp"
#include "platform/types.hpp"

struct SetupState {
    SetupSettings settings; // start values: cpunum 1, delay 1, fhlog 1, the rest 0 or empty
    platform::NativeHandle dialog = nullptr;
};
