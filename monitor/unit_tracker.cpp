#include "monitor/unit_tracker.hpp"

#include "common/stream_reader.hpp"
#include "common/text.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/unit_change.hpp"
#include "platform/message_box.hpp"

#include <cstring>

namespace {

constexpr int HeadSize = 7;
constexpr int LineRestSize = 500;
constexpr std::size_t CompareLength = 35;

// What one read of the file found about the unit's identity.
struct UnitRead {
    char tag[UnitTagSize] = {}; // empty when the file has no tag
};

// Reads and drops up to count words of the current line.
void discardWords(MonitorState& s, int count) {
    char scratch[500];
    for (int i = 0; i < count; ++i) {
        scanWord(s.inputFile, scratch, sizeof scratch, ValueScope::OwnLine);
    }
}

// A name line without a word leaves the name as it was.
void readNameLine(MonitorState& s) {
    formatText(s.previousUnitName, sizeof s.previousUnitName, "%.35s", s.unitName);
    scanWord(s.inputFile, s.unitName, sizeof s.unitName, ValueScope::OwnLine);
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

// A new name, or the same (generic) name with another tag where both the
// old and the new unit carry one, is a new unit. It is acted on once the
// file is read and closed, so the change sees the whole file (the tag that
// names a generic unit's project, the new progress) and the client can
// rewrite the file meanwhile.
void applyRead(MonitorState& s, const char* nameBefore, const UnitRead& read) {
    const bool nameChanged = std::strncmp(nameBefore, s.unitName, CompareLength) != 0;
    const bool tagChanged = !nameChanged && s.unitTag[0] != '\0' && read.tag[0] != '\0' &&
                            std::strcmp(s.unitTag, read.tag) != 0;
    copyText(s.unitTag, read.tag);
    if (nameChanged) {
        copyText(s.previousUnitName, nameBefore);
    }
    if (nameChanged || tagChanged) {
        changeUnit(s);
    }
}

enum class LineKind { Unknown, Known, Consumed };

bool readsValues(const char* head) {
    return std::strncmp(head, "Name:", 5) == 0 || std::strncmp(head, "Downlo", 5) == 0 ||
           std::strncmp(head, "Due", 3) == 0 || std::strncmp(head, "Progr", 5) == 0;
}

// Handles one line head: Consumed when the branch read the whole line.
// Every value comes from the line of its label only.
LineKind readKnownLine(MonitorState& s, const LineHead& lineHead, UnitRead& read) {
    const char* head = s.lineBuffer;
    if (lineHead.endsLine && readsValues(head)) {
        return LineKind::Consumed; // a label alone on its line: no value to read
    }
    if (std::strncmp(head, "Name:", 5) == 0) {
        readNameLine(s);
    } else if (std::strncmp(head, "Tag:", 4) == 0) {
        readTagLine(s, lineHead, read);
        return LineKind::Consumed;
    } else if (std::strncmp(head, "Downlo", 5) == 0) {
        discardWords(s, 5);
    } else if (std::strncmp(head, "Due", 3) == 0) {
        discardWords(s, 4);
    } else if (std::strncmp(head, "Progr", 5) == 0) {
        discardWords(s, 1);
        scanInteger(s.inputFile, &s.progressPercent, ValueScope::OwnLine);
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
    char nameBefore[36];
    formatText(nameBefore, sizeof nameBefore, "%.35s", s.unitName);
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
    applyRead(s, nameBefore, read);
    return 1;
}

bool unitFileExists() {
    return fileCanBeRead(UnitFilePath);
}
