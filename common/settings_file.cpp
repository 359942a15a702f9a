#include "common/settings_file.hpp"

#include "common/stream_reader.hpp"
#include "common/text.hpp"

#include <algorithm>
#include <cstring>

namespace {

constexpr int KeyHeadSize = 7; // five-letter key, its blank, the terminator
constexpr int LineRestSize = 500;

const SettingKey* findKey(const SettingKey* keys, std::size_t count, const char* head) {
    for (std::size_t i = 0; i < count; ++i) {
        if (std::strncmp(head, keys[i].key, 5) == 0) {
            return &keys[i];
        }
    }
    return nullptr;
}

// Converts the value of a matched key. Returns true when the conversion has
// consumed the rest of the line itself.
bool convertValue(const SettingKey& key, std::FILE* stream, bool headEndedLine) {
    switch (key.conversion) {
    case SettingConversion::Integer:
        if (!headEndedLine) { // a key alone on its line has no value
            scanInteger(stream, key.integer, ValueScope::OwnLine);
        }
        return headEndedLine;
    case SettingConversion::Minutes:
        if (!headEndedLine) {
            scanInteger(stream, key.integer, ValueScope::OwnLine);
        }
        if (*key.integer < 1) {
            *key.integer = 1;
        }
        return headEndedLine;
    case SettingConversion::Word:
    case SettingConversion::LineText:
        break;
    }
    // Text values come from the key's own line only, so an empty value never
    // swallows the next setting.
    char rest[LineRestSize];
    rest[0] = '\0';
    if (!headEndedLine) {
        readRestOfLine(stream, rest, sizeof rest);
    }
    if (key.conversion == SettingConversion::Word) {
        firstWord(rest, key.text, key.capacity);
    } else {
        const char* start = rest;
        while (*start == ' ' || *start == '\t') {
            ++start;
        }
        copyText(key.text, key.capacity, start);
    }
    return true;
}

} // namespace

int readSettingsFile(const SettingKey* keys, std::size_t keyCount, std::FILE*& stream,
                     char* lineBuffer) {
    stream = std::fopen(SettingsFileName, "r");
    if (stream == nullptr) {
        return 0;
    }
    while (!std::feof(stream)) {
        LineHead head = readLineHead(stream, lineBuffer, KeyHeadSize);
        if (!head.read) {
            break;
        }
        if (head.length == 0) {
            continue;
        }
        const SettingKey* key = findKey(keys, keyCount, lineBuffer);
        if (key == nullptr) {
            continue;
        }
        if (!convertValue(*key, stream, head.endsLine)) {
            discardLinePiece(stream, lineBuffer, LineRestSize);
        }
    }
    std::fclose(stream);
    stream = nullptr;
    return 1;
}

int readSetupSettings(SetupSettings& s) {
    std::array<SettingKey, SharedSettingKeyCount + 3> keys{};
    auto shared = sharedSettingKeys(s, s.delayMinutes);
    std::copy(shared.begin(), shared.end(), keys.begin());
    keys[SharedSettingKeyCount] = {"score", SettingConversion::Integer, &s.score, nullptr, 0};
    keys[SharedSettingKeyCount + 1] = {"usern", SettingConversion::Word, nullptr, s.userName,
                                       sizeof s.userName};
    keys[SharedSettingKeyCount + 2] = {"team#", SettingConversion::Integer, &s.teamNumber, nullptr,
                                       0};
    std::FILE* stream = nullptr;
    char lineBuffer[512];
    return readSettingsFile(keys.data(), keys.size(), stream, lineBuffer);
}

int writeSettings(const SetupSettings& s, const char* path) {
    std::FILE* file = std::fopen(path, "w");
    if (file == nullptr) {
        return 0;
    }
    int failed = std::fprintf(file, "[Vigilon setup]\n\n") < 0;
    failed |= std::fprintf(file, "delay %d\n", s.delayMinutes) < 0;
    failed |= std::fprintf(file, "cpunum %d\n", s.cpuNumber) < 0;
    failed |= std::fprintf(file, "ontop %d\n", s.alwaysOnTop) < 0;
    failed |= std::fprintf(file, "fhlog %d\n", s.logEnabled) < 0;
    failed |= std::fprintf(file, "quiet %d\n", s.trayMode) < 0;
    failed |= std::fprintf(file, "stats %d\n", s.serverLinkEnabled) < 0;
    failed |= std::fprintf(file, "ipadd %s\n", s.serverAddress) < 0;
    failed |= std::fprintf(file, "servc %d\n", s.remoteControlEnabled) < 0;
    failed |= std::fprintf(file, "spath %s\n", s.serviceName) < 0;
    failed |= std::fprintf(file, "vant! %d\n", s.statsSiteEnabled) < 0;
    failed |= std::fprintf(file, "nowin %d\n", s.silentMode) < 0;
    failed |= std::fclose(file) != 0;
    return failed ? 0 : 1;
}
