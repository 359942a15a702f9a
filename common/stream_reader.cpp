#include "common/stream_reader.hpp"

#include "common/text.hpp"

#include <climits>
#include <cstring>

namespace {

bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space (on the current line only, for OwnLine); returns the
// first other character, unread, or EOF, also for a line end under OwnLine.
int skipWhiteSpace(std::FILE* stream, ValueScope scope = ValueScope::AcrossLines) {
    int c = std::fgetc(stream);
    while (c != EOF && isBlank(c) && !(c == '\n' && scope == ValueScope::OwnLine)) {
        c = std::fgetc(stream);
    }
    if (c != EOF) {
        std::ungetc(c, stream);
    }
    return c == '\n' && scope == ValueScope::OwnLine ? EOF : c;
}

} // namespace

bool fileCanBeRead(const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file != nullptr) {
        std::fclose(file);
    }
    return file != nullptr;
}

LineHead readLineHead(std::FILE* stream, char* buffer, int size) {
    LineHead head;
    if (std::fgets(buffer, size, stream) == nullptr) {
        buffer[0] = '\0';
        return head;
    }
    head.read = true;
    std::size_t length = std::strlen(buffer);
    if (length > 0) {
        head.deleted = buffer[length - 1];
        head.endsLine = head.deleted == '\n';
        buffer[--length] = '\0';
    }
    head.length = length;
    return head;
}

void discardLinePiece(std::FILE* stream, char* buffer, int size) {
    if (std::fgets(buffer, size, stream) == nullptr) {
        buffer[0] = '\0';
    }
}

namespace {

// Accumulates decimal digits from next() until a non-digit, saturating into
// the int range. Returns the first character that is not part of the number.
template <typename Next> int readDecimal(int c, Next next, bool& digits, int& result) {
    bool negative = false;
    if (c == '-' || c == '+') {
        negative = c == '-';
        c = next();
    }
    long long magnitude = 0;
    digits = false;
    while (c >= '0' && c <= '9') {
        digits = true;
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) {
            magnitude = magnitude * 10 + (c - '0');
        }
        c = next();
    }
    long long value = negative ? -magnitude : magnitude;
    result = static_cast<int>(value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : value));
    return c;
}

} // namespace

bool scanInteger(std::FILE* stream, int* value, ValueScope scope) {
    if (skipWhiteSpace(stream, scope) == EOF) {
        return false;
    }
    bool digits = false;
    int result = 0;
    int c = readDecimal(
        std::fgetc(stream), [stream] { return std::fgetc(stream); }, digits, result);
    if (c != EOF) {
        std::ungetc(c, stream);
    }
    if (digits) {
        *value = result;
    }
    return digits;
}

int parseInteger(const char* text) {
    while (*text != '\0' && isBlank(static_cast<unsigned char>(*text))) {
        ++text;
    }
    bool digits = false;
    int result = 0;
    readDecimal(
        static_cast<unsigned char>(*text),
        [&text] {
            ++text;
            return static_cast<int>(static_cast<unsigned char>(*text));
        },
        digits, result);
    return digits ? result : 0;
}

bool scanWord(std::FILE* stream, char* out, std::size_t capacity, ValueScope scope) {
    if (capacity == 0 || skipWhiteSpace(stream, scope) == EOF) {
        return false;
    }
    std::size_t stored = 0;
    while (stored + 1 < capacity) { // room is checked before each byte is stored
        int c = std::fgetc(stream);
        if (c == EOF) {
            break;
        }
        if (isBlank(c)) {
            std::ungetc(c, stream);
            break;
        }
        out[stored++] = static_cast<char>(c);
    }
    out[stored] = '\0';
    return true;
}

bool scanFloat(std::FILE* stream, float* value) {
    float parsed = 0.0f;
    if (std::fscanf(stream, "%f", &parsed) != 1) {
        return false;
    }
    *value = parsed;
    return true;
}

void readRestOfLine(std::FILE* stream, char* out, std::size_t capacity) {
    char piece[512];
    std::size_t stored = 0;
    if (capacity > 0) {
        out[0] = '\0';
    }
    while (std::fgets(piece, sizeof piece, stream) != nullptr) {
        std::size_t length = std::strlen(piece);
        bool lineEnd = length > 0 && piece[length - 1] == '\n';
        if (stored + 1 < capacity) {
            stored += formatText(out + stored, capacity - stored, "%s", piece);
        }
        if (lineEnd) {
            break;
        }
    }
    while (stored > 0 && (out[stored - 1] == '\n' || out[stored - 1] == '\r' ||
                          out[stored - 1] == ' ' || out[stored - 1] == '\t')) {
        out[--stored] = '\0';
    }
}

void firstWord(const char* text, char* out, std::size_t capacity) {
    while (*text != '\0' && isBlank(static_cast<unsigned char>(*text))) {
        ++text;
    }
    std::size_t length = 0;
    while (text[length] != '\0' && !isBlank(static_cast<unsigned char>(text[length]))) {
        ++length;
    }
    formatText(out, capacity, "%.*s", static_cast<int>(length < INT_MAX ? length : INT_MAX), text);
}
