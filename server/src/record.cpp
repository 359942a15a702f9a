#include "record.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr std::size_t FieldCount = 13;
constexpr std::size_t FieldsBeforeName = 3;
constexpr std::size_t FieldsAfterName = 9;

bool parseInt(std::string_view token, int& value) {
    if (token.empty()) {
        return false;
    }
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, value);
    return ec == std::errc{} && ptr == end;
}

bool parseDouble(std::string_view token, double& value) {
    if (token.empty()) {
        return false;
    }
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, value, std::chars_format::fixed);
    return ec == std::errc{} && ptr == end && std::isfinite(value);
}

// Positions of every blank; the fields lie between them.
std::vector<std::size_t> blankPositions(std::string_view text) {
    std::vector<std::size_t> blanks;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            blanks.push_back(i);
        }
    }
    return blanks;
}

// The field between blank number `after` (or the start) and the next blank.
std::string_view between(std::string_view text, const std::vector<std::size_t>& blanks,
                         std::size_t first, std::size_t last) {
    std::size_t begin = first == 0 ? 0 : blanks[first - 1] + 1;
    std::size_t end = last < blanks.size() ? blanks[last] : text.size();
    return text.substr(begin, end - begin);
}

struct Tokens {
    std::array<std::string_view, FieldCount> field{};
};

bool splitFields(std::string_view text, Tokens& tokens) {
    std::vector<std::size_t> blanks = blankPositions(text);
    if (blanks.size() + 1 < FieldCount) {
        return false;
    }
    std::size_t pieces = blanks.size() + 1;
    for (std::size_t i = 0; i < FieldsBeforeName; ++i) {
        tokens.field[i] = between(text, blanks, i, i);
    }
    std::size_t firstAfter = pieces - FieldsAfterName;
    tokens.field[FieldsBeforeName] = between(text, blanks, FieldsBeforeName, firstAfter - 1);
    for (std::size_t i = 0; i < FieldsAfterName; ++i) {
        tokens.field[FieldsBeforeName + 1 + i] =
            between(text, blanks, firstAfter + i, firstAfter + i);
    }
    return true;
}

const char* convertNumbers(const Tokens& t, StatusRecord& r) {
    struct IntField {
        std::size_t index;
        int* target;
        const char* name;
    };
    const IntField ints[] = {
        {0, &r.cpuNumber, "cpu number"},
        {1, &r.unitCount, "unit count"},
        {2, &r.progressPercent, "progress"},
        {4, &r.closing, "closing flag"},
        {8, &r.frames, "frames"},
        {9, &r.points, "points"},
        {11, &r.teamNumber, "team number"},
        {12, &r.trayMode, "tray mode"},
    };
    for (const IntField& field : ints) {
        if (!parseInt(t.field[field.index], *field.target)) {
            return field.name;
        }
    }
    return parseDouble(t.field[5], r.cpuMhz) ? nullptr : "cpu MHz";
}

void appendLatin1(std::string& out, unsigned char c) {
    if (c < 0x20 || c == 0x7f) {
        out.push_back('?');
    } else if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        out.push_back(static_cast<char>(0xc0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
}

} // namespace

std::optional<std::string_view> recordText(std::string_view message) {
    std::size_t zero = message.find('\0');
    if (zero == std::string_view::npos) {
        return std::nullopt;
    }
    return message.substr(0, zero);
}

RecordParse parseRecord(std::string_view text) {
    RecordParse result;
    Tokens tokens;
    if (!splitFields(text, tokens)) {
        result.error = "fewer than 13 fields";
        return result;
    }
    StatusRecord record;
    if (const char* bad = convertNumbers(tokens, record)) {
        result.error = std::string("bad ") + bad;
        return result;
    }
    record.unitName = cleanText(tokens.field[3], MaxUnitNameBytes);
    record.cpuVendor = cleanText(tokens.field[6], MaxShortTextBytes);
    record.coreName = cleanText(tokens.field[7], MaxShortTextBytes);
    record.userName = cleanText(tokens.field[10], MaxUserNameBytes);
    result.record = std::move(record);
    return result;
}

std::string cleanText(std::string_view bytes, std::size_t maxBytes) {
    std::string out;
    std::size_t kept = bytes.size() < maxBytes ? bytes.size() : maxBytes;
    out.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i) {
        appendLatin1(out, static_cast<unsigned char>(bytes[i]));
    }
    return out;
}
