#include "monitor/settings.hpp"

#include "common/settings_file.hpp"
#include "monitor/monitor_state.hpp"

#include <algorithm>
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
    std::array<SettingKey, SharedSettingKeyCount + 2> keys{};
    auto shared = sharedSettingKeys(s, delayMinutes);
    std::copy(shared.begin(), shared.end(), keys.begin());
    keys[SharedSettingKeyCount] = {"clapi", SettingConversion::Word, nullptr, s.clientApiAddress,
                                   sizeof s.clientApiAddress};
    keys[SharedSettingKeyCount + 1] = {"clgrp", SettingConversion::LineText, nullptr,
                                       s.clientApiGroup, sizeof s.clientApiGroup};
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
