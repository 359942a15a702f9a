#include "record.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

// One field per conversion of the monitor's record format.
constexpr std::size_t conversions(const char* format) {
    std::size_t count = 0;
    for (; *format != '\0'; ++format) {
        count += *format == '%' ? 1 : 0;
    }
    return count;
}

constexpr std::size_t FieldCount = conversions(companion::RecordFormat);
constexpr std::size_t FieldsBeforeName = 3;
constexpr std::size_t FieldsAfterVendor = 6;
constexpr std::size_t CpuidVendorBytes = 12; // the monitor sends at most these
// Front fields, unit name, closing flag, MHz, vendor, back fields.
static_assert(FieldCount == FieldsBeforeName + 4 + FieldsAfterVendor);

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

// The record cut at every single blank; an empty text field leaves an empty
// piece between two blanks.
class Pieces {
public:
    explicit Pieces(std::string_view text) : text_(text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == ' ') {
                blanks_.push_back(i);
            }
        }
    }

    std::size_t count() const { return blanks_.size() + 1; }

    // Pieces first to last with the blanks between them.
    std::string_view span(std::size_t first, std::size_t last) const {
        std::size_t begin = first == 0 ? 0 : blanks_[first - 1] + 1;
        std::size_t end = last < blanks_.size() ? blanks_[last] : text_.size();
        return text_.substr(begin, end - begin);
    }

private:
    std::string_view text_;
    std::vector<std::size_t> blanks_;
};

struct Tokens {
    std::array<std::string_view, FieldCount> field{};
};

// The fields when the closing flag is piece `closing`: the unit name is what
// lies between the front fields and it, the vendor what lies between the MHz
// and the six back fields.
Tokens fieldsWithClosingAt(const Pieces& p, std::size_t closing) {
    Tokens t;
    for (std::size_t i = 0; i < FieldsBeforeName; ++i) {
        t.field[i] = p.span(i, i);
    }
    const std::size_t firstBack = p.count() - FieldsAfterVendor;
    t.field[3] = p.span(FieldsBeforeName, closing - 1);
    t.field[4] = p.span(closing, closing);
    t.field[5] = p.span(closing + 1, closing + 1);
    t.field[6] = p.span(closing + 2, firstBack - 1);
    for (std::size_t i = 0; i < FieldsAfterVendor; ++i) {
        t.field[7 + i] = p.span(firstBack + i, firstBack + i);
    }
    return t;
}

// "%f" as the monitor writes it: an optional minus, digits, a point and six
// decimals.
bool isSixDecimals(std::string_view token) {
    if (!token.empty() && token[0] == '-') {
        token.remove_prefix(1);
    }
    const std::size_t point = token.find('.');
    if (point == 0 || point == std::string_view::npos || token.size() != point + 7) {
        return false;
    }
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (i != point && (token[i] < '0' || token[i] > '9')) {
            return false;
        }
    }
    return true;
}

// The piece that holds the closing flag. The unit name and the vendor are the
// only fields that may hold blanks, so the closing flag and the MHz are found
// between them. First, as for most processors, the vendor is the one piece
// before the back fields. When the two pieces before it do not read as an
// integer and a decimal, the vendor holds blanks ("VIA VIA VIA ",
// "  Shanghai  "): the split moves left a piece at a time, while the vendor
// stays within the 12 bytes of a CPUID vendor, to the first pair written as
// the monitor writes it, a flag 0 or 1 and "%f". Searching from the right
// keeps a unit name with numbers in it (free text from the client, far longer
// than the vendor) from being taken for the pair. Without such a pair the
// first split stands and is refused by its numbers.
std::size_t closingPiece(const Pieces& p) {
    const std::size_t first = p.count() - FieldsAfterVendor - 3; // flag, MHz, vendor
    Tokens t = fieldsWithClosingAt(p, first);
    int flag = 0;
    double mhz = 0.0;
    if (parseInt(t.field[4], flag) && parseDouble(t.field[5], mhz)) {
        return first;
    }
    for (std::size_t closing = first - 1; closing > FieldsBeforeName; --closing) {
        t = fieldsWithClosingAt(p, closing);
        if (t.field[6].size() > CpuidVendorBytes) {
            break;
        }
        if ((t.field[4] == "0" || t.field[4] == "1") && isSixDecimals(t.field[5])) {
            return closing;
        }
    }
    return first;
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
    const Pieces pieces(text);
    if (pieces.count() < FieldCount) {
        result.error = "fewer than 13 fields";
        return result;
    }
    const Tokens tokens = fieldsWithClosingAt(pieces, closingPiece(pieces));
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

RecordParse parseMessage(std::string_view message) {
    std::optional<std::string_view> text = recordText(message);
    if (!text) {
        return {std::nullopt, "no zero byte"};
    }
    RecordParse parsed = parseRecord(*text);
    if (parsed.record) {
        companion::Extension& ext = parsed.record->extension;
        ext = companion::readExtension(message.data(), message.size(), text->size());
        ext.state = cleanText(ext.state, MaxShortTextBytes);
        if (ext.prcg.size() > MaxShortTextBytes) {
            ext.prcg.clear(); // digits and slashes only, but a cut one would mislead
        }
    }
    return parsed;
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
