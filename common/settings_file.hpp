// The settings file "vigilon.ini", shared by the monitor and the setup tool:
// the reading procedure both programs use, and the setup tool's record with
// its reader and writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>

inline constexpr const char* SettingsFileName = "vigilon.ini";

enum class SettingConversion {
    Integer,  // "%d"
    Minutes,  // "%d", then raised to at least 1 (the delay)
    Word,     // the first word on the key's own line; empty when there is none
    LineText, // the rest of the key's own line, without trailing blanks
};

struct SettingKey {
    const char* key; // compared over its first five characters
    SettingConversion conversion;
    int* integer;         // target of Integer and Minutes
    char* text;           // target of Word and LineText
    std::size_t capacity; // size of text
};

// The eleven keys both programs read, in the order the writer writes them,
// aimed at a record with the settings' member names; the delay goes to
// delayMinutes.
inline constexpr std::size_t SharedSettingKeyCount = 11;

template <typename Record>
std::array<SettingKey, SharedSettingKeyCount> sharedSettingKeys(Record& r, int& delayMinutes) {
    using C = SettingConversion;
    return {{
        {"delay", C::Minutes, &delayMinutes, nullptr, 0},
        {"cpunum", C::Integer, &r.cpuNumber, nullptr, 0},
        {"ontop", C::Integer, &r.alwaysOnTop, nullptr, 0},
        {"fhlog", C::Integer, &r.logEnabled, nullptr, 0},
        {"quiet", C::Integer, &r.trayMode, nullptr, 0},
        {"stats", C::Integer, &r.serverLinkEnabled, nullptr, 0},
        {"ipadd", C::Word, nullptr, r.serverAddress, sizeof r.serverAddress},
        {"servc", C::Integer, &r.remoteControlEnabled, nullptr, 0},
        {"spath", C::LineText, nullptr, r.serviceName, sizeof r.serviceName},
        {"vant!", C::Integer, &r.statsSiteEnabled, nullptr, 0},
        {"nowin", C::Integer, &r.silentMode, nullptr, 0},
    }};
}

// Reads "vigilon.ini" from the current directory with the line-head
// technique, through stream and the 512-byte lineBuffer. Returns 1 when the
// file was read to its end, 0 when it cannot be opened (nothing changed).
int readSettingsFile(const SettingKey* keys, std::size_t keyCount, std::FILE*& stream,
                     char* lineBuffer);

// The setup tool's values.
struct SetupSettings {
    int delayMinutes = 1;
    int cpuNumber = 1;
    int alwaysOnTop = 0;
    int logEnabled = 1;
    int serverLinkEnabled = 0;
    int trayMode = 0;
    int remoteControlEnabled = 0;
    int statsSiteEnabled = 0;
    int silentMode = 0;
    char serverAddress[32] = {};
    char serviceName[256] = {};
    int score = 1;          // accepted on reading, never used or written
    char userName[64] = {}; // likewise
    int teamNumber = 0;     // likewise
};

// The setup tool's reader: 1 when read, 0 when the file cannot be opened
// (the start values then stand).
int readSetupSettings(SetupSettings& settings);

// Writes the header and the eleven settings lines to path. Returns 1 on
// success, 0 when the file cannot be created or a write fails.
int writeSettings(const SetupSettings& settings, const char* path = SettingsFileName);
