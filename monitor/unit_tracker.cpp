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

// What one read of the file found about the unit's identity.
struct UnitRead {
    bool nameChanged = false;
    char tag[UnitTagSize] = {}; // empty when the file has no tag
};

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

void readNameLine(MonitorState& s, UnitRead& read) {
    formatText(s.previousUnitName, sizeof s.previousUnitName, "%.35s", s.unitName);
    scanWord(s.inputFile, s.unitName, sizeof s.unitName);
    if (std::strncmp(s.previousUnitName, s.unitName, CompareLength) != 0) {
        read.nameChanged = true;
        s.unitTag[0] = '\0'; // the old unit's tag is not the new one's
        changeUnit(s);
    }
}

// The tag is the first word after "Tag:", read to the end of its line, so
// that "Tag: -" never takes a word from the next line.
void readTagLine(MonitorState& s, const LineHead& head, UnitRead& read) {
    char rest[LineRestSize] = {};
    if (!head.endsLine) {
        readRestOfLine(s.inputFile, rest, sizeof rest);
    }
    char text[LineRestSize + 8];
    formatText(text, sizeof text, "%s%c%s", s.lineBuffer + 4, head.endsLine ? ' ' : head.deleted,
               rest);
    storeUnitTag(text, read.tag, sizeof read.tag);
}

// The same (generic) name with another tag, where both the old and the new
// unit carry one, is a new unit too.
bool tagChanged(const MonitorState& s, const UnitRead& read) {
    return !read.nameChanged && s.unitTag[0] != '\0' && read.tag[0] != '\0' &&
           std::strcmp(s.unitTag, read.tag) != 0;
}

// Acts on what the tag says, once the whole file is read.
void applyTag(MonitorState& s, const UnitRead& read) {
    const bool changed = tagChanged(s, read);
    copyText(s.unitTag, read.tag);
    if (changed) {
        changeUnit(s);
    } else if (read.nameChanged && s.firstRun == 0 && projectNumberOf(s.unitName) == 0 &&
               s.unitTag[0] != '\0') {
        lookupProtein(s); // a generic new name: its project is in the tag read after it
    }
}

enum class LineKind { Unknown, Known, Consumed };

// Handles one line head: Consumed when the branch read the whole line.
LineKind readKnownLine(MonitorState& s, const LineHead& lineHead, UnitRead& read) {
    const char* head = s.lineBuffer;
    if (std::strncmp(head, "Name:", 5) == 0) {
        readNameLine(s, read);
    } else if (std::strncmp(head, "Tag:", 4) == 0) {
        readTagLine(s, lineHead, read);
        return LineKind::Consumed;
    } else if (std::strncmp(head, "Downlo", 5) == 0) {
        discardWords(s, 5);
    } else if (std::strncmp(head, "Due", 3) == 0) {
        discardWords(s, 4);
    } else if (std::strncmp(head, "Progr", 5) == 0) {
        discardWords(s, 1);
        scanInteger(s.inputFile, &s.progressPercent);
    } else {
        return LineKind::Unknown;
    }
    return LineKind::Known;
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
    UnitRead read;
    while (!std::feof(s.inputFile)) {
        LineHead head = readLineHead(s.inputFile, s.lineBuffer, HeadSize);
        if (!head.read) {
            break;
        }
        if (head.length > 0 && readKnownLine(s, head, read) == LineKind::Known) {
            discardLinePiece(s.inputFile, s.lineBuffer, LineRestSize);
        }
    }
    std::fclose(s.inputFile);
    s.inputFile = nullptr;
    applyTag(s, read);
    return 1;
}
