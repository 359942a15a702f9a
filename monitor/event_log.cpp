#include "monitor/event_log.hpp"

#include "common/numeric.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/report/stats_site.hpp"
#include "platform/clock.hpp"
#include "platform/process.hpp"

namespace {

constexpr const char* Separator = "------------------------------------------------";

bool openLog(MonitorState& s) {
    s.logFile = std::fopen(EventLogFileName, platform::appendTextMode());
    return s.logFile != nullptr;
}

void closeLog(MonitorState& s) {
    std::fclose(s.logFile);
    s.logFile = nullptr;
}

void writeBeginningLine(MonitorState& s) {
    std::fprintf(s.logFile, "Beginning process for %s on ", s.unitName);
    writeTimestamp(s);
}

} // namespace

void writeTimestamp(MonitorState& s) {
    s.logTime = platform::currentTime();
    const char* text = std::ctime(&s.logTime);
    std::fprintf(s.logFile, "%s", text != nullptr ? text : "\n");
}

void writeStartEntry(MonitorState& s) {
    if (!openLog(s)) {
        return;
    }
    std::fprintf(s.logFile, "%s - a Folding@home companion\n", ProgramTitle);
    std::fprintf(s.logFile, "%s\n\n", Separator);
    if (s.progressPercent == 0) {
        writeBeginningLine(s);
    } else {
        std::fprintf(s.logFile, "Continuing process at %d%% for %s on ", s.progressPercent,
                     s.unitName);
        writeTimestamp(s);
    }
    closeLog(s);
}

void writeUnitEntry(MonitorState& s) {
    if (!openLog(s)) {
        return;
    }
    std::fprintf(s.logFile, "%s completed in %f minutes on ", s.previousUnitName, s.unitMinutes);
    writeTimestamp(s);
    if (s.serverLinkEnabled != 0) {
        std::fprintf(s.logFile, "%d frames total\n", s.unitFrames);
    }
    std::fprintf(s.logFile, "Average frame time: %f minutes per frame\n",
                 static_cast<double>(s.frameMinutes));
    if (s.statsSiteEnabled == 1) {
        std::fprintf(s.logFile, "Submitting data to %s...\n", StatsSiteHost);
    }
    writeBeginningLine(s);
    closeLog(s);
}

void writeShutdownStatistics(MonitorState& s) {
    if (!openLog(s)) {
        return;
    }
    s.endTime = platform::currentTime();
    double uptimeSeconds = std::difftime(s.endTime, s.programStartTime);
    s.unitMinutes = uptimeSeconds / SecondsPerHour;
    int uptimeMinutes = truncateToInt(uptimeSeconds / SecondsPerMinute);
    int completed = s.unitCount > 0 ? s.unitCount - 1 : 0;
    std::fprintf(s.logFile, "%s\n", Separator);
    std::fprintf(s.logFile, "Vigilon stats after shutdown\n\n");
    std::fprintf(s.logFile, "Total uptime: %f hours\n", s.unitMinutes);
    std::fprintf(s.logFile, "Total WUs completed: %d\n", completed);
    if (completed > 0) {
        std::fprintf(s.logFile, "Average time per WU: %f minutes\n",
                     static_cast<double>(uptimeMinutes) / s.unitCount);
    }
    std::fprintf(s.logFile, "%s\n\n\n\n\n", Separator);
    closeLog(s);
}
