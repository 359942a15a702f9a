// The setup tool's host facts on Windows: the current directory, no fixed
// service name (it follows the client's folder) and the file replacement.
#include "platform/setup_dialog.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

namespace platform {

std::size_t currentDirectory(char* text, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const DWORD room = static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD));
    // The length without the terminator when it fits, else the size needed.
    const DWORD length = GetCurrentDirectoryA(room, text);
    if (length == 0 || length >= room) {
        text[0] = '\0';
        return 0;
    }
    return length;
}

const char* fixedClientServiceName() {
    return nullptr;
}

bool replaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace platform
