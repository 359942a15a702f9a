// The blocking notice on Windows: a message box with an OK button.
#include "platform/message_box.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

void showMessageBox(NativeHandle owner, const char* text, const char* caption) {
    MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK);
}

} // namespace platform
