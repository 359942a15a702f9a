// The companion server's reading of a received message: the record (fields
// from both ends, blanks allowed in the unit name and the vendor) and the
// extension after its zero byte. Whatever arrives, a taken record's text is
// bounded UTF-8 without control characters, and the extension never costs
// the record.
#include "fuzz_input.hpp"
#include "record.hpp"

#include <string_view>

namespace {

// Cleaned text: Latin-1 bytes as UTF-8 (one or two bytes each), no controls.
bool clean(const std::string& text, std::size_t maxInputBytes) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++characters) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
        if (byte >= 0x80) { // a lead byte of U+0080..U+00FF and its continuation
            if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size() ||
                (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80) {
                return false;
            }
            ++i;
        }
    }
    return characters <= maxInputBytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    const RecordParse parsed = parseMessage(message);
    fuzz::require(parsed.record.has_value() == parsed.error.empty(),
                  "taken, or refused with a reason");
    if (!parsed.record) {
        return 0;
    }
    const StatusRecord& r = *parsed.record;
    fuzz::require(clean(r.unitName, MaxUnitNameBytes) && clean(r.cpuVendor, MaxShortTextBytes) &&
                      clean(r.coreName, MaxShortTextBytes) && clean(r.userName, MaxUserNameBytes),
                  "the record's text is cleaned and bounded");
    fuzz::require(clean(r.extension.state, MaxShortTextBytes) &&
                      clean(r.extension.prcg, MaxShortTextBytes),
                  "the extension's text is cleaned and bounded");
    const auto text = recordText(message);
    fuzz::require(text && parseRecord(*text).record.has_value(),
                  "the record alone is taken too: the extension never decides it");
    return 0;
}
