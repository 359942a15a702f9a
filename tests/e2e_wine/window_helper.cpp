// Test helper for the Windows end-to-end runs: finds the monitor's status
// window by its class and acts on it or reports on it, as a user or the
// shell would.
//   window_helper rect      prints the client area in screen pixels: x y w h
//   window_helper visible   prints 1 when the window is visible, else 0
//   window_helper minimize  minimises it (the title bar's button)
//   window_helper dblclick  the tray icon's left double-click
//   window_helper escape    the Escape key
//   window_helper close     the close command (WM_CLOSE)
// Exit code 0, or 1 when no status window exists or the command is unknown.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr UINT TrayCallback = WM_USER + 1;

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
