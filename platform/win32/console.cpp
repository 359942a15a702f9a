// Both programs are GUI programs: a start from a console gives them no
// console of their own. Output redirected to a file or pipe is their standard
// output; otherwise they write to the console of the program that started
// them, if it has one.
#include "platform/console.hpp"

#include <windows.h>

#include <cstring>

namespace platform {
namespace {

bool writeAll(HANDLE out, const char* data, DWORD length) {
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(out, data, length, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        length -= written;
    }
    return true;
}

// The text with CR LF line ends.
bool writeLines(HANDLE out, const char* text) {
    while (*text != '\0') {
        const char* end = std::strchr(text, '\n');
        if (end == nullptr) {
            return writeAll(out, text, static_cast<DWORD>(std::strlen(text)));
        }
        if (!writeAll(out, text, static_cast<DWORD>(end - text)) || !writeAll(out, "\r\n", 2)) {
            return false;
        }
        text = end + 1;
    }
    return true;
}

} // namespace

void writeConsoleText(const char* text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN &&
        writeLines(out, text)) {
        return;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) {
        writeLines(console, text);
        CloseHandle(console);
    }
    FreeConsole();
}

} // namespace platform
