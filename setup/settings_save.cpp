#include "setup/settings_save.hpp"

#include "platform/setup_dialog.hpp"

#include <cstdio>

bool saveSettingsFile(const SetupSettings& settings) {
    if (writeSettings(settings, SettingsTemporaryName) == 1 &&
        platform::replaceFile(SettingsTemporaryName, SettingsFileName)) {
        return true;
    }
    std::remove(SettingsTemporaryName);
    return false;
}
