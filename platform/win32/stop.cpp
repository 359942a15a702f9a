// Stop requests on Windows. The monitor is a window program without a
// console, so its stop requests are the close request and the Escape key of
// its window. While a step waits, the wait hook dispatches the window's
// messages until one of them is seen; the waits look into the queue,
// without taking anything, for a posted close request, a quit message (the
// core posts it for the close box and Escape) or an Escape key press, and
// end early when they find one.
#include "platform/stop.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

void watchStopRequests() {}

bool stopRequested() {
    MSG msg{};
    const UINT look = PM_NOREMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE | PM_QS_INPUT;
    // WM_CLOSE to WM_QUIT: a posted close request or the quit message.
    if (PeekMessageA(&msg, nullptr, WM_CLOSE, WM_QUIT, look) != 0) {
        return true;
    }
    return PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, look) != 0 &&
           msg.wParam == VK_ESCAPE;
}

} // namespace platform
