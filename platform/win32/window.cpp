// The status window on Windows: its class and window procedure, which turns
// the few messages the monitor acts on into window events, and the calls
// that show, hide and stack it.
#include "platform/window.hpp"

#include "platform/win32/display_state.hpp"

namespace platform {
namespace {

constexpr UINT TrayCallbackMessage = WM_USER + 1; // the icon's mouse messages
constexpr DWORD StatusWindowStyle = WS_POPUPWINDOW | WS_VISIBLE | WS_DLGFRAME | WS_MINIMIZEBOX;
static_assert(StatusWindowStyle == 0x90CA0000, "the status window's style");

WindowEventHandler eventHandler = nullptr;
void* eventContext = nullptr;
UINT taskbarCreated = 0; // the message a new taskbar broadcasts; 0 until registered

void report(WindowEvent event) {
    if (eventHandler != nullptr) {
        eventHandler(eventContext, event);
    }
}

// Every handled message answers 0. WM_DESTROY posts no quit: the core posts
// it for the close request and Escape, and destroys the window itself.
LRESULT CALLBACK statusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (taskbarCreated != 0 && message == taskbarCreated) {
        win32::addTrayIconAgain();
        return 0;
    }
    switch (message) {
    case WM_CREATE:
    case WM_DESTROY:
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            report(WindowEvent::Minimised);
        }
        return 0;
    case WM_CLOSE:
        report(WindowEvent::CloseRequest);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint); // erases with the class's black brush
        EndPaint(window, &paint);
        report(WindowEvent::Exposed);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            report(WindowEvent::EscapeKey);
        }
        return 0;
    case TrayCallbackMessage:
        if (lParam == WM_LBUTTONDBLCLK) {
            report(WindowEvent::TrayDoubleClick);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND nativeOf(NativeHandle window) {
    return static_cast<HWND>(window);
}

} // namespace

void registerWindowClass(NativeHandle instance, const char* className, int iconResource,
                         WindowEventHandler handler, void* context) {
    eventHandler = handler;
    eventContext = context;
    if (taskbarCreated == 0) {
        taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    }
    HINSTANCE module = static_cast<HINSTANCE>(instance);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = statusWindowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, MAKEINTRESOURCEA(iconResource)); // null when missing
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

NativeHandle createStatusWindow(NativeHandle instance, const char* className, const char* title,
                                int width, int height) {
    return CreateWindowExA(0, className, title, StatusWindowStyle, 0, 0, width, height, nullptr,
                           nullptr, static_cast<HINSTANCE>(instance), nullptr);
}

void keepWindowOnTop(NativeHandle window) {
    SetWindowPos(nativeOf(window), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

// Hiding and showing call ShowWindow directly: a WM_SHOWWINDOW handed to
// DefWindowProcA acts only on owned windows, never on this top-level one.
void hideWindow(NativeHandle window) {
    ShowWindow(nativeOf(window), SW_HIDE);
}

// A window minimised on its way to the tray comes back restored, at 0,0.
void showWindowRestored(NativeHandle window) {
    HWND native = nativeOf(window);
    ShowWindow(native, IsIconic(native) ? SW_RESTORE : SW_SHOWNOACTIVATE);
}

void bringToForeground(NativeHandle window) {
    SetForegroundWindow(nativeOf(window));
}

void destroyWindow(NativeHandle window) {
    DestroyWindow(nativeOf(window));
}

} // namespace platform
