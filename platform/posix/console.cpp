#include "platform/console.hpp"

#include <cstdio>

namespace platform {

void writeConsoleText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace platform
