// The setup tool's host facts on Linux: the current directory, the client's
// systemd unit and the file replacement.
#include "platform/setup_dialog.hpp"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace platform {

std::size_t currentDirectory(char* text, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    if (getcwd(text, capacity) == nullptr) { // ERANGE when it does not fit
        text[0] = '\0';
        return 0;
    }
    return std::strlen(text);
}

const char* fixedClientServiceName() {
    return "fah-client"; // the unit of the current Folding@home client
}

bool replaceFile(const char* from, const char* to) {
    return std::rename(from, to) == 0; // atomic over an existing file
}

} // namespace platform
