// The monitor's status record: thirteen blank-separated fields at the start of
// the message, ended by a zero byte, and the extension that newer monitors
// put after it (common/companion_protocol.hpp).
#pragma once

#include "common/companion_protocol.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Longest text kept of each text field, in bytes of the record.
constexpr std::size_t MaxUnitNameBytes = 96;
constexpr std::size_t MaxShortTextBytes = 32;
constexpr std::size_t MaxUserNameBytes = 64;

struct StatusRecord {
    int cpuNumber = 0;
    int unitCount = 0;
    int progressPercent = 0;
    std::string unitName;
    int closing = 0;
    double cpuMhz = 0.0;
    std::string cpuVendor;
    std::string coreName;
    int frames = 0;
    int points = 0;
    std::string userName;
    int teamNumber = 0;
    int trayMode = 0;
    // What followed the record; present is false when nothing well-formed did.
    // Text in it is cleaned as the record's is.
    companion::Extension extension;
};

struct RecordParse {
    std::optional<StatusRecord> record;
    std::string error; // why the record was refused; empty when it was taken
};

// The record text of a received message: everything before the first zero
// byte. A message without a zero byte was cut off or is not a record.
std::optional<std::string_view> recordText(std::string_view message);

// Parses the record text. The unit name and the CPU vendor are the only
// fields that may hold blanks, so fields 1-3 are taken from the front, fields
// 8-13 from the back, and the closing flag and MHz are found between the
// name and the vendor (see closingPiece).
RecordParse parseRecord(std::string_view text);

// A whole received message: its record text parsed, and the extension after
// the record's zero byte read. Anything malformed in the extension is left
// out; it never costs the record.
RecordParse parseMessage(std::string_view message);

// Untrusted bytes as bounded UTF-8: each byte is read as Latin-1 (what the
// monitor's 8-bit text most likely is), control characters become '?', and
// at most maxBytes input bytes are kept.
std::string cleanText(std::string_view bytes, std::size_t maxBytes);
