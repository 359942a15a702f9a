#include "monitor/unit_change.hpp"

#include "common/text.hpp"
#include "monitor/display/display.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/report/stats_site.hpp"
#include "platform/clock.hpp"

namespace {

constexpr int ApiUnitFrames = 100; // the client reports progress in hundredths

// The completion actions, in their fixed order. The submission reports the
// finished unit, so it carries the core that unit ran on, taken before the
// lookup replaces it with the new unit's.
void completeUnit(MonitorState& s) {
    s.frameMinutes = s.unitFrames > 0 ? static_cast<float>(s.unitMinutes / s.unitFrames) : 0.0f;
    if (s.logEnabled == 1) {
        writeUnitEntry(s);
    }
    char finishedCore[sizeof s.coreName];
    copyText(finishedCore, s.coreName);
    lookupCurrentUnit(s);
    if (s.statsSiteEnabled == 1) {
        submitUnitStats(s, finishedCore);
    }
    if (s.trayMode != 0) {
        refreshTrayTip(s);
    }
}

} // namespace

void changeUnit(MonitorState& s) {
    s.endTime = platform::currentTime();
    s.unitMinutes = std::difftime(s.endTime, s.unitStartTime) / SecondsPerMinute;
    s.unitStartTime = platform::currentTime();
    if (s.firstRun == 0) {
        completeUnit(s);
    }
    ++s.unitCount;
}

void lookupCurrentUnit(MonitorState& s) {
    lookupProtein(s);
    if (s.proteinFound == 0 && s.unitFromApi != 0) {
        copyText(s.coreName, s.apiCoreType);
        s.unitPoints = s.apiCredit;
        s.unitFrames = ApiUnitFrames;
    }
}
