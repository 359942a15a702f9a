// Without a display the notice goes to standard error.
#include "platform/message_box.hpp"

#include <cstdio>

namespace platform {

void showMessageBox(NativeHandle, const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

} // namespace platform
