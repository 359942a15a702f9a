#include "monitor/unit_tracker.hpp"

#include "common/stream_reader.hpp"
#include "common/text.hpp"
#include "monitor/display/display.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/report/stats_site.hpp"
#include "platform/clock.hpp"
#include "platform/message_box.hpp"

#include <cstring>

namespace {

constexpr int HeadSize = 7;
constexpr int LineRestSize = 500;
constexpr std::size_t CompareLength = 35;

void discardWords(MonitorState& s, int count) {
    char scratch[500];
    for (int i = 0; i < count; ++i) {
        scanWord(s.inputFile, scratch, sizeof scratch);
    }
}

// The finished unit is timed; after the first pass the event log (when
// logging is on), the lookup, the submission and the tooltip follow.
void changeUnit(MonitorState& s) {
    s.endTime = platform::currentTime();
    s.unitMinutes = std::difftime(s.endTime, s.unitStartTime) / SecondsPerMinute;
    s.unitStartTime = platform::currentTime();
    if (s.firstRun == 0) {
        s.frameMinutes = s.unitFrames > 0 ? static_cast<float>(s.unitMinutes / s.unitFrames) : 0.0f;
        if (s.logEnabled == 1) {
            writeUnitEntry(s);
        }
        lookupProtein(s);
        if (s.statsSiteEnabled == 1) {
            submitUnitStats(s);
        }
        if (s.trayMode != 0) {
            refreshTrayTip(s);
        }
    }
    ++s.unitCount;
}

void readNameLine(MonitorState& s) {
    formatText(s.previousUnitName, sizeof s.previousUnitName, "%.35s", s.unitName);
    scanWord(s.inputFile, s.unitName, sizeof s.unitName);
    if (std::strncmp(s.previousUnitName, s.unitName, CompareLength) != 0) {
        changeUnit(s);
    }
}

// Handles one line head; returns false when it names no known line.
bool readKnownLine(MonitorState& s) {
    const char* head = s.lineBuffer;
    if (std::strncmp(head, "Name:", 5) == 0) {
        readNameLine(s);
    } else if (std::strncmp(head, "Downlo", 5) == 0) {
        discardWords(s, 5);
    } else if (std::strncmp(head, "Due", 3) == 0) {
        discardWords(s, 4);
    } else if (std::strncmp(head, "Progr", 5) == 0) {
        discardWords(s, 1);
        scanInteger(s.inputFile, &s.progressPercent);
    } else {
        return false;
    }
    return true;
}

} // namespace

int pollUnitFile(MonitorState& s) {
    char path[255];
    copyText(path, UnitFilePath);
    s.inputFile = std::fopen(path, "r");
    if (s.inputFile == nullptr) {
        if (s.firstRun != 0) {
            platform::showMessageBox(s.window, MissingUnitFileText, path);
        }
        return 0;
    }
    while (!std::feof(s.inputFile)) {
        LineHead head = readLineHead(s.inputFile, s.lineBuffer, HeadSize);
        if (!head.read) {
            break;
        }
        if (head.length > 0 && readKnownLine(s)) {
            discardLinePiece(s.inputFile, s.lineBuffer, LineRestSize);
        }
    }
    std::fclose(s.inputFile);
    s.inputFile = nullptr;
    return 1;
}
