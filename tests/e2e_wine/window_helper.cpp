// Test helper for the Windows end-to-end runs: finds the monitor's status
// window by its class and acts on it or reports on it, as a user or the
// shell would.
//   window_helper rect      prints the client area in screen pixels: x y w h
//   window_helper visible   prints 1 when the window is visible, else 0
//   window_helper minimize  minimises it (the title bar's button)
//   window_helper dblclick  the tray icon's left double-click
//   window_helper escape    the Escape key
//   window_helper close     the close command (WM_CLOSE)
//   window_helper closebox  a left click on the title bar's close box, as
//                           mouse input (the button's own tracking follows)
// Exit code 0, or 1 when no status window exists or the command is unknown.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr UINT TrayCallback = WM_USER + 1;
constexpr UINT AnswerLimitMilliseconds = 5000;

LRESULT hitTest(HWND window, LONG x, LONG y) {
    DWORD_PTR hit = HTNOWHERE;
    SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG,
                        AnswerLimitMilliseconds, &hit);
    return static_cast<LRESULT>(hit);
}

// The middle of the close box: where the system metrics put it, or else
// found on that row of the title bar, scanned from the right, as the window
// itself answers hit tests (each answer waits for the window's thread).
bool closeBoxPoint(HWND window, POINT& point) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const LONG border = GetSystemMetrics(SM_CXDLGFRAME);
    const LONG y = frame.top + border + GetSystemMetrics(SM_CYCAPTION) / 2;
    point = {frame.right - border - GetSystemMetrics(SM_CXSIZE) / 2, y};
    if (hitTest(window, point.x, point.y) == HTCLOSE) {
        return true;
    }
    LONG x = frame.right - 1;
    while (x > frame.left && hitTest(window, x, y) != HTCLOSE) {
        --x;
    }
    const LONG right = x;
    while (x > frame.left && hitTest(window, x, y) == HTCLOSE) {
        --x;
    }
    point = {(x + 1 + right) / 2, y};
    return x > frame.left && right > x;
}

int clickCloseBox(HWND window) {
    POINT point{};
    if (!closeBoxPoint(window, point) || !SetCursorPos(point.x, point.y)) {
        return 1;
    }
    INPUT press[2] = {};
    press[0].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].type = INPUT_MOUSE;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, press, sizeof(INPUT)) == 2 ? 0 : 1;
}

int printRect(HWND window) {
    RECT client{};
    POINT origin{0, 0};
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
}

int act(HWND window, const char* command) {
    if (std::strcmp(command, "rect") == 0) {
        return printRect(window);
    }
    if (std::strcmp(command, "closebox") == 0) {
        return clickCloseBox(window);
    }
    if (std::strcmp(command, "visible") == 0) {
        std::printf("%d\n", IsWindowVisible(window) ? 1 : 0);
        return 0;
    }
    if (std::strcmp(command, "minimize") == 0) {
        PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (std::strcmp(command, "dblclick") == 0) {
        PostMessageA(window, TrayCallback, 1, WM_LBUTTONDBLCLK);
    } else if (std::strcmp(command, "escape") == 0) {
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    } else if (std::strcmp(command, "close") == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    HWND window = FindWindowA("GLSample", nullptr);
    if (argc != 2 || window == nullptr) {
        return 1;
    }
    return act(window, argv[1]);
}
