// The tray icon as an XEmbed system tray client: an icon window docked with
// the screen's tray manager, docked again whenever a new manager appears,
// with a double click that reopens the status window and a tooltip after the
// pointer rests on the icon.
#include "platform/x11/tray_xembed.hpp"

#include "common/text.hpp"
#include "platform/x11/session.hpp"
#include "platform/x11/tray_paint.hpp"
#include "platform/x11/tray_tip.hpp"

#include <X11/Xutil.h>

#include <chrono>
#include <cstring>

namespace platform::x11 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long RequestDock = 0; // SYSTEM_TRAY_REQUEST_DOCK
constexpr long XembedVersion = 0;
constexpr long XembedMapped = 1;
constexpr std::uint32_t DoubleClickMs = 400;
constexpr auto HoverDelay = std::chrono::milliseconds(500);
constexpr int StartSize = 22;
constexpr int MinSize = 16;
constexpr int MaxHintedSide = 128;
constexpr std::size_t MaxTip = 127;
constexpr long IconEvents = ButtonPressMask | EnterWindowMask | LeaveWindowMask |
                            PointerMotionMask | ExposureMask | StructureNotifyMask;

struct Tray {
    bool rootWatched = false;
    ::Window icon = 0;
    ::Window manager = 0;
    ::Window dockedIcon = 0; // the icon window last sent to the manager
    int width = StartSize;
    int height = StartSize;
    int hintedSide = MinSize;
    char tip[MaxTip + 1] = {};
    bool clickPending = false;
    Time firstClick = 0;
    bool hovering = false;
    Clock::time_point hoverSince{};
};

Tray& tray() {
    static Tray shared;
    return shared;
}

Atom selectionAtom() {
    char name[32];
    formatText(name, sizeof name, "_NET_SYSTEM_TRAY_S%d", session().screen);
    return atom(name);
}

// MANAGER announcements come to the root window with StructureNotifyMask;
// the masks selected there before stay.
void watchRoot(Display* d) {
    Tray& t = tray();
    XWindowAttributes attributes{};
    if (t.rootWatched || XGetWindowAttributes(d, session().root, &attributes) == 0) {
        return;
    }
    XSelectInput(d, session().root, attributes.your_event_mask | StructureNotifyMask);
    t.rootWatched = true;
}

// Trays size a docked icon from its minimum size: the side is given as the
// minimum width and height.
void setSizeHints(Display* d, ::Window window, int side) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) {
        return;
    }
    hints->flags = PMinSize;
    hints->min_width = side;
    hints->min_height = side;
    XSetWMNormalHints(d, window, hints);
    XFree(hints);
    tray().hintedSide = side;
}

void setProperties(Display* d, ::Window window) {
    setSizeHints(d, window, MinSize);
    long info[2] = {XembedVersion, XembedMapped};
    Atom xembedInfo = atom("_XEMBED_INFO");
    XChangeProperty(d, window, xembedInfo, xembedInfo, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(info), 2);
    XStoreName(d, window, "Vigilon tray icon");
    char name[] = "vigilon";
    char className[] = "Vigilon";
    XClassHint classHint{name, className};
    XSetClassHint(d, window, &classHint);
}

void createIcon(Display* d) {
    Tray& t = tray();
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = ParentRelative;
    attributes.event_mask = IconEvents;
    t.icon = XCreateWindow(d, session().root, 0, 0, StartSize, StartSize, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    t.width = StartSize;
    t.height = StartSize;
    setProperties(d, t.icon);
}

// The manager's visual if it names one (_NET_SYSTEM_TRAY_VISUAL), else 0.
VisualID managerVisual(Display* d, ::Window manager) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    VisualID visual = 0;
    if (XGetWindowProperty(d, manager, atom("_NET_SYSTEM_TRAY_VISUAL"), 0, 1, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && format == 32 && count == 1) {
        visual = static_cast<VisualID>(*reinterpret_cast<unsigned long*>(data));
    }
    if (data != nullptr) {
        XFree(data);
    }
    return visual;
}

// The parent's background shows through only when the tray draws with the
// default visual; a window of another depth cannot inherit it.
void chooseBackground(Display* d) {
    Tray& t = tray();
    const VisualID visual = managerVisual(d, t.manager);
    const VisualID ours = XVisualIDFromVisual(DefaultVisual(d, session().screen));
    if (visual == 0 || visual == ours) {
        XSetWindowBackgroundPixmap(d, t.icon, ParentRelative);
    } else {
        XSetWindowBackground(d, t.icon, BlackPixel(d, session().screen));
    }
}

// The selection owner, watched for its destruction; the server is grabbed
// so that it cannot vanish between the two requests.
::Window findManager(Display* d) {
    XGrabServer(d);
    ::Window owner = XGetSelectionOwner(d, selectionAtom());
    if (owner != None) {
        XSelectInput(d, owner, StructureNotifyMask);
    }
    XUngrabServer(d);
    XFlush(d);
    return owner;
}

void sendDockRequest(Display* d) {
    Tray& t = tray();
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = t.manager;
    message.xclient.message_type = atom("_NET_SYSTEM_TRAY_OPCODE");
    message.xclient.format = 32;
    message.xclient.data.l[0] = CurrentTime;
    message.xclient.data.l[1] = RequestDock;
    message.xclient.data.l[2] = static_cast<long>(t.icon);
    XSendEvent(d, t.manager, False, NoEventMask, &message);
    XFlush(d);
}

// Creates the icon window if needed and asks the manager to dock it, once
// per manager and window; false when the screen has no tray manager.
bool dock(Display* d) {
    Tray& t = tray();
    if (t.icon == 0) {
        createIcon(d);
    }
    const ::Window owner = findManager(d);
    if (owner == None) {
        t.manager = 0;
        return false;
    }
    if (owner != t.manager || t.icon != t.dockedIcon) {
        t.manager = owner;
        t.dockedIcon = t.icon;
        chooseBackground(d);
        sendDockRequest(d);
    }
    return true;
}

void stopHover() {
    Tray& t = tray();
    t.hovering = false;
    hideTrayTip();
}

void startHover() {
    Tray& t = tray();
    t.hovering = true;
    t.hoverSince = Clock::now();
}

// Forgets the icon window; it is destroyed unless it is already gone.
void dropIcon(Display* d, bool destroy) {
    Tray& t = tray();
    stopHover();
    t.clickPending = false;
    if (t.icon != 0 && destroy) {
        XUnmapWindow(d, t.icon);
        XDestroyWindow(d, t.icon);
        XFlush(d);
    }
    t.icon = 0;
    t.dockedIcon = 0;
}

// Left presses: the second within DoubleClickMs of the first (server times,
// which wrap) is the double click. Other buttons end a pending click.
bool buttonPressed(const XButtonEvent& button, WindowEvent& event) {
    Tray& t = tray();
    stopHover();
    if (button.button != Button1) {
        t.clickPending = false;
        return false;
    }
    const auto elapsed = static_cast<std::uint32_t>(button.time - t.firstClick);
    if (t.clickPending && elapsed <= DoubleClickMs) {
        t.clickPending = false;
        event = WindowEvent::TrayDoubleClick;
        return true;
    }
    t.clickPending = true;
    t.firstClick = button.time;
    return false;
}

// A manager that ends reparents the icon to the root window (its save-set)
// or destroys it with its own windows; either way the icon is made anew at
// the next manager.
void iconLost(const XEvent& xevent) {
    Display* d = xevent.xany.display;
    if (xevent.type == DestroyNotify) {
        dropIcon(d, false);
    } else if (xevent.xreparent.parent == session().root) {
        dropIcon(d, true);
    }
}

// A tray gives the icon its own height (or width) and the hinted minimum
// across; the hints then ask for a square of the larger side, once per side.
void resized(Display* d, const XConfigureEvent& configure) {
    Tray& t = tray();
    t.width = configure.width;
    t.height = configure.height;
    int side = t.width > t.height ? t.width : t.height;
    side = side < MaxHintedSide ? side : MaxHintedSide;
    if (t.width != t.height && side > t.hintedSide) {
        setSizeHints(d, t.icon, side);
    }
    paintTrayIcon(t.icon, t.width, t.height);
}

bool iconEvent(const XEvent& xevent, WindowEvent& event) {
    Tray& t = tray();
    switch (xevent.type) {
    case Expose:
        if (xevent.xexpose.count == 0) {
            paintTrayIcon(t.icon, t.width, t.height);
        }
        break;
    case ConfigureNotify:
        resized(xevent.xany.display, xevent.xconfigure);
        break;
    case ButtonPress:
        return buttonPressed(xevent.xbutton, event);
    case EnterNotify:
        startHover();
        break;
    case MotionNotify:
        if (!t.hovering) {
            startHover();
        }
        break;
    case LeaveNotify:
        stopHover();
        break;
    case DestroyNotify:
    case ReparentNotify:
        iconLost(xevent);
        break;
    default:
        break;
    }
    return false;
}

bool isManagerAnnouncement(const XClientMessageEvent& message) {
    return message.window == session().root && message.message_type == atom("MANAGER") &&
           message.format == 32 && static_cast<Atom>(message.data.l[1]) == selectionAtom();
}

} // namespace

bool xembedTrayPresent() {
    Display* d = openDisplay();
    if (d == nullptr) {
        return false;
    }
    watchRoot(d); // a manager that comes later is announced there
    return findManager(d) != None;
}

bool dockXembedIcon() {
    Display* d = openDisplay();
    if (d == nullptr) {
        return false;
    }
    watchRoot(d);
    if (dock(d)) {
        return true;
    }
    tray().manager = 0;
    return false;
}

void removeXembedIcon() {
    Display* d = openedDisplay();
    if (d != nullptr) {
        dropIcon(d, true);
    }
}

void setXembedTip(const char* tip) {
    Tray& t = tray();
    const auto length = static_cast<int>(strnlen(tip, MaxTip));
    formatText(t.tip, sizeof t.tip, "%.*s", length, tip);
    updateTrayTip(t.tip);
}

bool translateXembedEvent(const XEvent& xevent, WindowEvent& event, XembedNews& news) {
    Tray& t = tray();
    news = XembedNews::Nothing;
    if (handleTrayTipEvent(xevent, t.tip)) {
        return false;
    }
    if (t.icon != 0 && xevent.xany.window == t.icon) {
        return iconEvent(xevent, event);
    }
    if (xevent.type == ClientMessage && isManagerAnnouncement(xevent.xclient)) {
        news = XembedNews::ManagerAppeared;
    } else if (xevent.type == DestroyNotify && t.manager != 0 &&
               xevent.xdestroywindow.window == t.manager) {
        t.manager = 0;
        news = XembedNews::ManagerGone;
    }
    return false;
}

void pollXembedTray() {
    Tray& t = tray();
    if (!t.hovering || t.icon == 0 || t.tip[0] == '\0' || trayTipShown()) {
        return;
    }
    if (Clock::now() - t.hoverSince >= HoverDelay) {
        showTrayTip(t.icon, t.tip);
    }
}

} // namespace platform::x11
