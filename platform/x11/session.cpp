#include "platform/x11/session.hpp"

#include "platform/messages.hpp"

#include <cstdio>
#include <cstdlib>

namespace platform::x11 {
namespace {

// A window or tray manager that vanishes between two requests makes the
// server answer with an error; the default handler would end the program.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

int quietIoError(Display*) {
    return 0;
}

// The X server went away (it ended, or the user's session did). Xlib must
// not touch the connection again, so every part of the backend sees no
// display from now on, and the monitor is asked to end in order.
void connectionLost(Display*, void*) {
    Session& s = session();
    if (!s.lost) {
        s.lost = true;
        std::fprintf(stderr, "vigilon: the connection to the display was lost; ending\n");
        postQuit(0);
    }
}

void sayNoDisplay() {
    const char* name = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "vigilon: cannot open the display \"%s\"; going on without window or tray "
                 "icon (\"nowin 1\" in vigilon.ini runs without a window)\n",
                 name != nullptr ? name : "");
}

} // namespace

Session& session() {
    static Session shared;
    return shared;
}

Display* openDisplay() {
    Session& s = session();
    if (s.openTried) {
        return openedDisplay();
    }
    s.openTried = true;
    s.display = XOpenDisplay(nullptr);
    if (s.display == nullptr) {
        sayNoDisplay();
        return nullptr;
    }
    XSetErrorHandler(ignoreError);
    XSetIOErrorHandler(quietIoError);
    XSetIOErrorExitHandler(s.display, connectionLost, nullptr);
    s.screen = DefaultScreen(s.display);
    s.root = RootWindow(s.display, s.screen);
    return s.display;
}

Display* openedDisplay() {
    const Session& s = session();
    return s.lost ? nullptr : s.display;
}

Atom atom(const char* name) {
    return XInternAtom(session().display, name, False);
}

} // namespace platform::x11
