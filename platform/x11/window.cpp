// The status window on X11: a fixed-size top-level window with a GLX visual,
// kept above other windows through EWMH, withdrawn while the monitor sits in
// the tray, and iconified to the taskbar instead when there is no tray.
#include "platform/window.hpp"

#include "platform/x11/session.hpp"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

using x11::atom;
using x11::fromHandle;
using x11::Session;
using x11::session;

// The state the backend last asked for. The window manager follows each
// request some time later, so a WM_STATE read is judged against it: an
// iconic state is the user's minimising only while the window is meant to be
// shown, and a normal state is the user's restoring only while it is meant to
// be iconic in the tray's stead (and was seen iconic since).
enum class Requested {
    Withdrawn,     // hideWindow, or before creation
    Shown,         // created, or showWindowRestored
    IconicForTray, // iconifyInsteadOfTray
};

// Everything the backend knows about the one status window.
struct StatusWindow {
    ::Window xid = 0;
    Colormap colormap = 0;
    Requested requested = Requested::Withdrawn;
    bool iconicSinceTray = false; // WM_STATE was seen iconic since IconicForTray
    long wmState = 0;             // the last WM_STATE read (WithdrawnState when absent)
    bool above = false;           // the last _NET_WM_STATE read holds _NET_WM_STATE_ABOVE
    bool aboveSent = false;       // the add request went out since the property last changed
    bool wantAbove = false;       // keepWindowOnTop has been asked for
};

StatusWindow status;

constexpr long NetWmStateAdd = 1;
constexpr long SourceApplication = 1;

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
constexpr long MwmHintsFunctions = 1L << 0;
constexpr long MwmHintsDecorations = 1L << 1;
constexpr long MwmFuncMove = 1L << 2;
constexpr long MwmFuncMinimize = 1L << 3;
constexpr long MwmFuncClose = 1L << 5;
constexpr long MwmDecorBorder = 1L << 1;
constexpr long MwmDecorTitle = 1L << 3;
constexpr long MwmDecorMenu = 1L << 4;
constexpr long MwmDecorMinimize = 1L << 5;

bool isStatus(NativeHandle window) {
    return window != nullptr && status.xid != 0 && fromHandle(window) == status.xid &&
           x11::openedDisplay() != nullptr;
}

void sendToRoot(Atom type, long l0, long l1, long l2, long l3) {
    Session& s = session();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = s.display;
    event.xclient.window = status.xid;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = 0;
    XSendEvent(s.display, s.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// The window's atom-list property (_NET_WM_STATE).
std::vector<Atom> readAtoms(Atom property) {
    std::vector<Atom> atoms;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(session().display, status.xid, property, 0, 64, False, XA_ATOM, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
        if (type == XA_ATOM && format == 32) {
            const auto* values = reinterpret_cast<const Atom*>(data);
            atoms.assign(values, values + count);
        }
        XFree(data);
    }
    return atoms;
}

long readWmState() {
    Atom wmState = atom("WM_STATE");
    long state = WithdrawnState;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(session().display, status.xid, wmState, 0, 2, False, wmState, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
        if (type == wmState && format == 32 && count >= 1) {
            state = reinterpret_cast<const long*>(data)[0];
        }
        XFree(data);
    }
    return state;
}

void refreshAbove() {
    Atom above = atom("_NET_WM_STATE_ABOVE");
    status.above = false;
    for (Atom value : readAtoms(atom("_NET_WM_STATE"))) {
        status.above = status.above || value == above;
    }
    status.aboveSent = false;
}

// Before a map the client owns _NET_WM_STATE and sets it itself.
void setAboveProperty() {
    Atom netWmState = atom("_NET_WM_STATE");
    Atom above = atom("_NET_WM_STATE_ABOVE");
    std::vector<Atom> atoms = readAtoms(netWmState);
    for (Atom value : atoms) {
        if (value == above) {
            return;
        }
    }
    atoms.push_back(above);
    XChangeProperty(session().display, status.xid, netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
}

void setInitialState(int state) {
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = state;
    XSetWMHints(session().display, status.xid, &hints);
}

void setIcons(Display* display) {
    const int sizes[] = {16, 32, 64};
    std::vector<unsigned long> data;
    for (int size : sizes) {
        data.push_back(static_cast<unsigned long>(size));
        data.push_back(static_cast<unsigned long>(size));
        std::size_t start = data.size();
        data.resize(start + static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
        x11::iconPictureArgb(size, size, data.data() + start);
    }
    XChangeProperty(display, status.xid, atom("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
}

void setDecorations(Display* display) {
    long hints[5] = {MwmHintsFunctions | MwmHintsDecorations,
                     MwmFuncMove | MwmFuncMinimize | MwmFuncClose,
                     MwmDecorBorder | MwmDecorTitle | MwmDecorMenu | MwmDecorMinimize, 0, 0};
    Atom motif = atom("_MOTIF_WM_HINTS");
    XChangeProperty(display, status.xid, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
}

void setNames(Display* display, const char* className, const char* title) {
    XStoreName(display, status.xid, title);
    XChangeProperty(display, status.xid, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title),
                    static_cast<int>(std::strlen(title)));
    std::string name = "vigilon";
    std::string resClass = className;
    XClassHint classHint{};
    classHint.res_name = name.data();
    classHint.res_class = resClass.data();
    XSetClassHint(display, status.xid, &classHint);
}

void setFixedSize(Display* display, int width, int height) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) {
        return;
    }
    hints->flags = USPosition | PPosition | USSize | PSize | PMinSize | PMaxSize;
    hints->x = 0;
    hints->y = 0;
    hints->width = width;
    hints->height = height;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, status.xid, hints);
    XFree(hints);
}

bool translateWmState(WindowEvent& event) {
    long previous = status.wmState;
    status.wmState = readWmState();
    if (status.wmState == previous) {
        return false;
    }
    switch (status.requested) {
    case Requested::Shown:
        if (status.wmState == IconicState) {
            event = WindowEvent::Minimised;
            return true;
        }
        return false;
    case Requested::IconicForTray:
        if (status.wmState == IconicState) {
            status.iconicSinceTray = true;
            return false;
        }
        // A normal state before the iconic one still belongs to the way there.
        if (status.wmState == NormalState && status.iconicSinceTray) {
            status.requested = Requested::Shown;
            status.iconicSinceTray = false;
            event = WindowEvent::TrayDoubleClick;
            return true;
        }
        return false;
    case Requested::Withdrawn:
        // What the window manager still does for an earlier request.
        return false;
    }
    return false;
}

} // namespace

void registerWindowClass(NativeHandle, const char*, int, WindowEventHandler handler,
                         void* context) {
    session().handler = handler;
    session().handlerContext = context;
}

NativeHandle createStatusWindow(NativeHandle, const char* className, const char* title, int width,
                                int height) {
    Display* display = x11::openDisplay();
    if (display == nullptr) {
        return nullptr;
    }
    Session& s = session();
    int attributes[] = {
        GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8,   GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE,
        8,        GLX_DEPTH_SIZE,   16,           None};
    XVisualInfo* visual = glXChooseVisual(display, s.screen, attributes);
    if (visual == nullptr) {
        std::fprintf(stderr, "vigilon: the display has no OpenGL visual with 24 colour and 16 "
                             "depth bits; going on without window\n");
        return nullptr;
    }
    status = StatusWindow{};
    status.colormap = XCreateColormap(display, s.root, visual->visual, AllocNone);
    XSetWindowAttributes attrs{};
    attrs.colormap = status.colormap;
    attrs.background_pixel = 0; // black in the true-colour visuals GLX offers
    attrs.border_pixel = 0;
    attrs.event_mask = KeyPressMask | StructureNotifyMask | PropertyChangeMask | ExposureMask;
    status.xid =
        XCreateWindow(display, s.root, 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, visual->depth, InputOutput, visual->visual,
                      CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attrs);
    XFree(visual);
    if (status.xid == 0) {
        XFreeColormap(display, status.colormap);
        status = StatusWindow{};
        return nullptr;
    }
    setNames(display, className != nullptr ? className : "", title != nullptr ? title : "");
    setFixedSize(display, width, height);
    setInitialState(NormalState);
    setDecorations(display);
    Atom deleteWindow = atom("WM_DELETE_WINDOW");
    XSetWMProtocols(display, status.xid, &deleteWindow, 1);
    setIcons(display);
    status.wmState = WithdrawnState;
    XMapWindow(display, status.xid);
    status.requested = Requested::Shown;
    XFlush(display);
    return x11::toHandle(status.xid);
}

void keepWindowOnTop(NativeHandle window) {
    if (!isStatus(window)) {
        return;
    }
    status.wantAbove = true;
    if (status.requested == Requested::Withdrawn) {
        setAboveProperty();
        XFlush(session().display);
        return;
    }
    // Ask once per loss; the answer comes back as a change of the property.
    if (status.above || status.aboveSent) {
        return;
    }
    sendToRoot(atom("_NET_WM_STATE"), NetWmStateAdd, static_cast<long>(atom("_NET_WM_STATE_ABOVE")),
               0, SourceApplication);
    status.aboveSent = true;
    XFlush(session().display);
}

void hideWindow(NativeHandle window) {
    if (!isStatus(window)) {
        return;
    }
    Session& s = session();
    XWithdrawWindow(s.display, status.xid, s.screen);
    status.requested = Requested::Withdrawn;
    status.iconicSinceTray = false;
    XFlush(s.display);
}

void showWindowRestored(NativeHandle window) {
    if (!isStatus(window)) {
        return;
    }
    Session& s = session();
    setInitialState(NormalState);
    if (status.requested == Requested::Withdrawn && status.wantAbove) {
        setAboveProperty();
    }
    // Mapping an iconic window restores it (ICCCM 4.1.4); a withdrawn one
    // comes back in its initial state, now normal.
    XMapRaised(s.display, status.xid);
    status.requested = Requested::Shown;
    status.iconicSinceTray = false;
    XFlush(s.display);
}

void bringToForeground(NativeHandle window) {
    if (!isStatus(window)) {
        return;
    }
    Session& s = session();
    sendToRoot(atom("_NET_ACTIVE_WINDOW"), SourceApplication, CurrentTime, 0, 0);
    XRaiseWindow(s.display, status.xid);
    XFlush(s.display);
}

void destroyWindow(NativeHandle window) {
    if (!isStatus(window)) {
        return;
    }
    Session& s = session();
    XDestroyWindow(s.display, status.xid);
    if (status.colormap != 0) {
        XFreeColormap(s.display, status.colormap);
    }
    // Waits until the server has done it: the window is gone before the
    // program that ends next can be seen to have ended.
    XSync(s.display, False);
    status = StatusWindow{};
}

namespace x11 {

bool translateWindowEvent(const XEvent& xevent, WindowEvent& event) {
    if (status.xid == 0 || xevent.xany.window != status.xid) {
        return false;
    }
    switch (xevent.type) {
    case KeyPress: {
        XKeyEvent key = xevent.xkey;
        if (XLookupKeysym(&key, 0) == XK_Escape) {
            event = WindowEvent::EscapeKey;
            return true;
        }
        return false;
    }
    case Expose:
        // The last of a series: the frame is drawn once for all of them.
        if (xevent.xexpose.count == 0) {
            event = WindowEvent::Exposed;
            return true;
        }
        return false;
    case ClientMessage:
        if (xevent.xclient.message_type == atom("WM_PROTOCOLS") && xevent.xclient.format == 32 &&
            static_cast<Atom>(xevent.xclient.data.l[0]) == atom("WM_DELETE_WINDOW")) {
            event = WindowEvent::CloseRequest;
            return true;
        }
        return false;
    case PropertyNotify:
        if (xevent.xproperty.atom == atom("WM_STATE")) {
            return translateWmState(event);
        }
        if (xevent.xproperty.atom == atom("_NET_WM_STATE")) {
            refreshAbove();
        }
        return false;
    default:
        return false;
    }
}

void iconifyInsteadOfTray() {
    Display* display = openedDisplay();
    if (display == nullptr || status.xid == 0) {
        return;
    }
    // A withdrawn window goes iconic by being mapped with that initial state;
    // one the window manager still shows is asked to iconify.
    setInitialState(IconicState);
    XMapWindow(display, status.xid);
    XIconifyWindow(display, status.xid, session().screen);
    status.requested = Requested::IconicForTray;
    status.iconicSinceTray = false;
    XFlush(display);
}

void withdrawIfIconifiedForTray() {
    Display* display = openedDisplay();
    if (display == nullptr || status.xid == 0 || status.requested != Requested::IconicForTray) {
        return;
    }
    XWithdrawWindow(display, status.xid, session().screen);
    status.requested = Requested::Withdrawn;
    status.iconicSinceTray = false;
    XFlush(display);
}

} // namespace x11
} // namespace platform
