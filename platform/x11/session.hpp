// The X11 backend's shared record: the display connection and the hooks by
// which the status window, the tray icon and the message queue meet. Private
// to platform/x11/.
#pragma once

#include "platform/window.hpp"

#include <X11/Xlib.h>

#include <cstdint>

namespace platform::x11 {

struct Session {
    Display* display = nullptr;
    bool openTried = false; // the display is opened at most once per run
    bool lost = false;      // the server went away: the connection is not used again
    int screen = 0;
    ::Window root = 0;

    // Given by registerWindowClass; receives the window events.
    WindowEventHandler handler = nullptr;
    void* handlerContext = nullptr;
};

Session& session();

// Opens the display on first use and installs error handlers that keep a
// lost window or tray manager from ending the program. Null when there is no
// display; the first failure is said once on stderr.
Display* openDisplay();

// The display if it is already open and not lost, else null; never opens it.
Display* openedDisplay();

// Interns an atom by name on the open display.
Atom atom(const char* name);

// An X handle carried through the contract's opaque handle type.
inline NativeHandle toHandle(unsigned long xid) {
    return reinterpret_cast<NativeHandle>(static_cast<std::uintptr_t>(xid));
}
inline unsigned long fromHandle(NativeHandle handle) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(handle));
}

// Event routing. takeMessage hands every X event to both translators; each
// ignores events that are not for its windows and returns true when the
// event means a window event for the core.
bool translateWindowEvent(const XEvent& xevent, WindowEvent& event); // window.cpp
bool translateTrayEvent(const XEvent& xevent, WindowEvent& event);   // tray.cpp

// Tray work on every poll of the queue: the tooltip's hover delay, and the
// session bus when it has input. True when it means a window event (the
// icon on the bus was activated). (tray.cpp)
bool pollTray(WindowEvent& event);

// Without a tray manager the status window goes to the taskbar instead of
// being withdrawn: it is iconified, and its restoring is reported as
// TrayDoubleClick. (window.cpp)
void iconifyInsteadOfTray();

// A tray manager appeared and docked the icon: a window iconified in its
// stead is withdrawn. (window.cpp)
void withdrawIfIconifiedForTray();

// The program's icon picture scaled to width x height, as 32-bit ARGB pixels
// row by row, alpha 0 where the picture is transparent. (icon_picture.cpp)
void iconPictureArgb(int width, int height, unsigned long* pixels);

} // namespace platform::x11
