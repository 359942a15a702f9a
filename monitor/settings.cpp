#include "monitor/settings.hpp"

#include "common/settings_file.hpp"
#include "monitor/monitor_state.hpp"

#include <climits>

int ticksForMinutes(int minutes) {
    if (minutes < 1) {
        minutes = 1;
    }
    if (minutes > INT_MAX / TicksPerMinute) {
        minutes = INT_MAX / TicksPerMinute;
    }
    return minutes * TicksPerMinute;
}

int readSettings(MonitorState& s) {
    int delayMinutes = 0;
    auto keys = sharedSettingKeys(s, delayMinutes);
    if (readSettingsFile(keys.data(), keys.size(), s.inputFile, s.lineBuffer) == 0) {
        s.cpuNumber = 1;
        s.updateTicks = 5; // ticks, not minutes: a quick start without a settings file
        s.alwaysOnTop = 0;
        s.logEnabled = 1;
        return 0;
    }
    if (delayMinutes > 0) {
        s.updateTicks = ticksForMinutes(delayMinutes);
    }
    return 1;
}
