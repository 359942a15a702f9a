#include "setup/settings_save.hpp"

#include "platform/setup_dialog.hpp"
#include "setup/kept_lines.hpp"

#include <cstdio>

bool saveSettingsFile(const SetupSettings& settings) {
    if (writeSettings(settings, SettingsTemporaryName) == 1 &&
        appendKeptLines(SettingsFileName, SettingsTemporaryName) &&
        platform::replaceFile(SettingsTemporaryName, SettingsFileName)) {
        return true;
    }
    std::remove(SettingsTemporaryName);
    return false;
}
