// The thread's Win32 message queue, polled with PeekMessageA. The MSG record
// lives in the Message's native storage between take and dispatch.
#include "platform/messages.hpp"

#include "platform/stop.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

namespace platform {

// The record is copied in and out, so only its size matters.
static_assert(sizeof(MSG) <= sizeof(Message::native), "MSG must fit the native storage");

bool takeMessage(Message& message) {
    MSG msg{};
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == 0) {
        return false;
    }
    std::memcpy(message.native, &msg, sizeof msg);
    message.isQuit = msg.message == WM_QUIT;
    message.exitCode = message.isQuit ? static_cast<int>(msg.wParam) : 0;
    return true;
}

// A quit message taken here is posted again, so that it stays for the idle
// loop; it can only come first when stopRequested() did not see it yet.
bool takeWindowMessage(Message& message) {
    if (stopRequested() || !takeMessage(message)) {
        return false;
    }
    if (message.isQuit) {
        PostQuitMessage(message.exitCode);
        return false;
    }
    return true;
}

void dispatchMessage(Message& message) {
    MSG msg{};
    std::memcpy(&msg, message.native, sizeof msg);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void postQuit(int exitCode) {
    PostQuitMessage(exitCode);
}

} // namespace platform
