#include "monitor/unit_tag.hpp"

#include "common/stream_reader.hpp"
#include "common/text.hpp"

#include <cstring>
#include <initializer_list>

namespace {

// Skips the letter and the digits after it; null when they are not there.
const char* skipPart(const char* text, char letter) {
    if (*text != letter || text[1] < '0' || text[1] > '9') {
        return nullptr;
    }
    ++text;
    while (*text >= '0' && *text <= '9') {
        ++text;
    }
    return text;
}

} // namespace

void storeUnitTag(const char* text, char* tag, std::size_t capacity) {
    firstWord(text, tag, capacity);
    if (std::strcmp(tag, "-") == 0) {
        tag[0] = '\0';
    }
}

int projectNumberOfTag(const char* tag) {
    const char* rest = tag;
    for (char letter : {'P', 'R', 'C', 'G'}) {
        rest = rest != nullptr ? skipPart(rest, letter) : nullptr;
    }
    if (rest == nullptr || *rest != '\0') {
        return 0;
    }
    return parseInteger(tag + 1); // stops at the 'R'; saturates
}
