#include "common/companion_protocol.hpp"

#include "common/text.hpp"

#include <charconv>
#include <cstring>
#include <string_view>

namespace companion {

namespace {

constexpr std::size_t MarkerBytes = 4; // "VGX1"

// Text values go on the wire as one blank-free word without '='.
std::string sanitised(const std::string& value) {
    std::string out = value;
    for (char& c : out) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '=') {
            c = '_';
        }
    }
    return out;
}

std::string numberText(long long value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    return ec == std::errc{} ? std::string(digits, end) : std::string("0");
}

// Appends " key=value" pairs after the marker, each ending the extension
// with a zero byte, so the text stays terminated after every step.
class PairWriter {
public:
    PairWriter(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {
        used_ = formatText(out_, capacity_, "%s", ExtensionMarker);
    }

    // A text value may be cut to what is left, down to one byte; any other
    // pair is written whole or not at all.
    void put(const char* key, const std::string& value, bool cuttable) {
        const std::size_t room = capacity_ - used_ - 1;                // the zero byte stays
        const std::size_t whole = 2 + std::strlen(key) + value.size(); // " key=value"
        if (whole > room && (!cuttable || value.empty() || whole - value.size() >= room)) {
            return;
        }
        used_ += formatText(out_ + used_, capacity_ - used_, " %s=%s", key, value.c_str());
    }

    std::size_t written() const { return used_ + 1; }

private:
    char* out_;
    std::size_t capacity_;
    std::size_t used_ = 0;
};

bool parseNumber(std::string_view text, long long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc{} && ptr == end;
}

bool parseFlag(std::string_view text, bool& flag) {
    if (text != "0" && text != "1") {
        return false;
    }
    flag = text == "1";
    return true;
}

// "<project>/<run>/<clone>/<gen>": four runs of digits.
bool isPrcg(std::string_view text) {
    int groups = 0;
    std::size_t digits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '/' && digits > 0 && groups < 3) {
            ++groups;
            digits = 0;
        } else {
            return false;
        }
    }
    return groups == 3 && digits > 0;
}

// One key=value pair; unknown keys and values that do not parse change nothing.
void takePair(std::string_view pair, Extension& ext) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos || equals == 0 ||
        pair.find('=', equals + 1) != std::string_view::npos) {
        return;
    }
    const std::string_view key = pair.substr(0, equals);
    const std::string_view value = pair.substr(equals + 1);
    long long number = 0;
    if (key == "source" && (value == "file" || value == "api")) {
        ext.fromApi = value == "api";
    } else if (key == "ctl") {
        parseFlag(value, ext.obeysControl);
    } else if (key == "state" && !value.empty()) {
        ext.state.assign(value);
    } else if (key == "paused") {
        parseFlag(value, ext.paused);
    } else if (key == "eta" && parseNumber(value, number) && number >= -1) {
        ext.etaSeconds = number;
    } else if (key == "ppd" && parseNumber(value, number) && number >= 0) {
        ext.ppd = number;
    } else if (key == "prcg" && isPrcg(value)) {
        ext.prcg.assign(value);
    }
}

} // namespace

std::size_t writeExtension(char* message, std::size_t size, std::size_t recordEnd,
                           const Extension& extension) {
    if (message == nullptr || recordEnd >= size || size - recordEnd - 1 < MarkerBytes + 1) {
        return 0;
    }
    PairWriter writer(message + recordEnd + 1, size - recordEnd - 1);
    writer.put("source", extension.fromApi ? "api" : "file", false);
    writer.put("ctl", extension.obeysControl ? "1" : "0", false);
    if (extension.fromApi) {
        writer.put("state", sanitised(extension.state), true);
        writer.put("paused", extension.paused ? "1" : "0", false);
        writer.put("eta", numberText(extension.etaSeconds < 0 ? -1 : extension.etaSeconds), false);
        writer.put("ppd", numberText(extension.ppd), false);
        writer.put("prcg", sanitised(extension.prcg), true);
    }
    return writer.written();
}

Extension readExtension(const char* message, std::size_t size, std::size_t recordEnd) {
    Extension ext;
    if (message == nullptr || recordEnd >= size || message[recordEnd] != '\0') {
        return ext;
    }
    const std::string_view rest(message + recordEnd + 1, size - recordEnd - 1);
    const std::size_t zero = rest.find('\0');
    if (zero == std::string_view::npos || rest.substr(0, MarkerBytes) != ExtensionMarker ||
        (zero != MarkerBytes && rest[MarkerBytes] != ' ')) {
        return ext;
    }
    ext.present = true;
    std::string_view pairs = rest.substr(MarkerBytes, zero - MarkerBytes);
    while (!pairs.empty()) {
        const std::size_t blank = pairs.find(' ');
        takePair(pairs.substr(0, blank), ext);
        pairs = blank == std::string_view::npos ? std::string_view() : pairs.substr(blank + 1);
    }
    return ext;
}

} // namespace companion
