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
    const SettingKey keys[] = {
        {"delay", SettingConversion::Minutes, &delayMinutes, nullptr, 0},
        {"cpunum", SettingConversion::Integer, &s.cpuNumber, nullptr, 0},
        {"ontop", SettingConversion::Integer, &s.alwaysOnTop, nullptr, 0},
        {"fhlog", SettingConversion::Integer, &s.logEnabled, nullptr, 0},
        {"stats", SettingConversion::Integer, &s.serverLinkEnabled, nullptr, 0},
        {"quiet", SettingConversion::Integer, &s.trayMode, nullptr, 0},
        {"spath", SettingConversion::LineText, nullptr, s.serviceName, sizeof s.serviceName},
        {"ipadd", SettingConversion::Word, nullptr, s.serverAddress, sizeof s.serverAddress},
        {"servc", SettingConversion::Integer, &s.remoteControlEnabled, nullptr, 0},
        {"vant!", SettingConversion::Integer, &s.statsSiteEnabled, nullptr, 0},
        {"nowin", SettingConversion::Integer, &s.silentMode, nullptr, 0},
    };
    if (readSettingsFile(keys, sizeof keys / sizeof keys[0], s.inputFile, s.lineBuffer) == 0) {
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
