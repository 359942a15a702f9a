#include "monitor/client_config.hpp"

#include "common/stream_reader.hpp"
#include "common/text.hpp"
#include "monitor/monitor_state.hpp"

#include <cstring>

namespace {

constexpr int DiscardSize = 20;

// Deletes every occurrence of key from text, in place.
void deleteOccurrences(char* text, const char* key) {
    std::size_t keyLength = std::strlen(key);
    char* found = std::strstr(text, key);
    while (found != nullptr) {
        std::memmove(found, found + keyLength, std::strlen(found + keyLength) + 1);
        found = std::strstr(found, key);
    }
}

// The whole line a matching head began: the head, the character it lost and
// the rest of the line, so that long numbers keep every digit.
void completeLine(MonitorState& s, const LineHead& head, char* line, std::size_t capacity) {
    if (head.endsLine) {
        copyText(line, capacity, s.lineBuffer);
        return;
    }
    char rest[500];
    readRestOfLine(s.inputFile, rest, sizeof rest);
    formatText(line, capacity, "%s%c%s", s.lineBuffer, head.deleted, rest);
}

// One pass for a "key=number" line, with heads of headSize characters.
void readNumberPass(MonitorState& s, int headSize, const char* key, int& target) {
    while (!std::feof(s.inputFile)) {
        LineHead head = readLineHead(s.inputFile, s.lineBuffer, headSize);
        if (!head.read) {
            break;
        }
        if (head.length == 0 || std::strstr(s.lineBuffer, key) == nullptr) {
            continue;
        }
        char line[512];
        completeLine(s, head, line, sizeof line);
        deleteOccurrences(line, key);
        target = parseInteger(line);
        discardLinePiece(s.inputFile, s.lineBuffer, DiscardSize);
    }
}

// The user-name pass: a head beginning "usern" takes the first word after
// the line's '=' from that line only, so an empty value gives an empty name.
void readUserNamePass(MonitorState& s) {
    while (!std::feof(s.inputFile)) {
        LineHead head = readLineHead(s.inputFile, s.lineBuffer, 10);
        if (!head.read) {
            break;
        }
        if (head.length == 0 || std::strncmp(s.lineBuffer, "usern", 5) != 0) {
            continue;
        }
        char line[512];
        completeLine(s, head, line, sizeof line);
        const char* equals = std::strchr(line, '=');
        firstWord(equals != nullptr ? equals + 1 : "", s.userName, sizeof s.userName);
    }
}

bool openConfig(MonitorState& s) {
    s.inputFile = std::fopen(ClientConfigPath, "r");
    return s.inputFile != nullptr;
}

void closeConfig(MonitorState& s) {
    std::fclose(s.inputFile);
    s.inputFile = nullptr;
}

} // namespace

void readClientConfig(MonitorState& s) {
    if (!openConfig(s)) {
        return;
    }
    readNumberPass(s, 15, "machineid=", s.machineId);
    closeConfig(s);
    if (!openConfig(s)) {
        return;
    }
    readUserNamePass(s);
    closeConfig(s);
    if (!openConfig(s)) {
        return;
    }
    readNumberPass(s, 12, "team=", s.teamNumber);
    closeConfig(s);
}
