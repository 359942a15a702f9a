#include "setup/kept_lines.hpp"

#include "common/settings_file.hpp"

#include <cstdio>
#include <cstring>

namespace {

constexpr int PieceSize = 502; // 500 characters, the line end, the terminator
constexpr const char* Header = "[Vigilon setup]";

bool endsLine(const char* piece) {
    const std::size_t length = std::strlen(piece);
    return length > 0 && piece[length - 1] == '\n';
}

// Length of a line's first piece without its line end, LF or CR LF.
std::size_t textLength(const char* piece) {
    std::size_t length = std::strlen(piece);
    length -= length > 0 && piece[length - 1] == '\n' ? 1 : 0;
    length -= length > 0 && piece[length - 1] == '\r' ? 1 : 0;
    return length;
}

// True for the lines writeSettings writes: the header, the empty line and
// the eleven settings.
bool writtenByTool(const char* firstPiece) {
    const std::size_t length = textLength(firstPiece);
    if (length == 0 ||
        (length == std::strlen(Header) && std::strncmp(firstPiece, Header, length) == 0)) {
        return true;
    }
    SetupSettings unused;
    int delay = 0;
    for (const SettingKey& key : sharedSettingKeys(unused, delay)) {
        if (std::strncmp(firstPiece, key.key, 5) == 0) {
            return true;
        }
    }
    return false;
}

void skipLine(std::FILE* in, char* piece) {
    while (!endsLine(piece) && std::fgets(piece, PieceSize, in) != nullptr) {
    }
}

// Copies a line piece by piece, from its first piece on, and ends it with
// "\n". A CR right before the line end is held back and dropped.
void copyLine(std::FILE* in, std::FILE* out, char* piece) {
    bool heldCr = false;
    for (;;) {
        std::size_t length = std::strlen(piece);
        const bool lineEnd = endsLine(piece);
        length -= lineEnd ? 1 : 0;
        if (heldCr && length > 0) {
            std::fputc('\r', out); // it was inside the line after all
            heldCr = false;
        }
        if (length > 0 && piece[length - 1] == '\r') {
            heldCr = true;
            --length;
        }
        std::fwrite(piece, 1, length, out);
        if (lineEnd || std::fgets(piece, PieceSize, in) == nullptr) {
            break;
        }
    }
    std::fputc('\n', out);
}

} // namespace

bool appendKeptLines(const char* from, const char* to) {
    std::FILE* in = std::fopen(from, "r");
    if (in == nullptr) {
        return true;
    }
    std::FILE* out = std::fopen(to, "a");
    if (out == nullptr) {
        std::fclose(in);
        return false;
    }
    char piece[PieceSize];
    int kept = 0;
    while (kept < MaxKeptLines && std::fgets(piece, sizeof piece, in) != nullptr) {
        if (writtenByTool(piece)) {
            skipLine(in, piece);
        } else {
            copyLine(in, out, piece);
            ++kept;
        }
    }
    const bool failed = std::ferror(in) != 0 || std::ferror(out) != 0;
    std::fclose(in);
    return std::fclose(out) == 0 && !failed;
}
