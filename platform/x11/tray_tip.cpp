// The tray icon's tooltip: an override-redirect window with a pale yellow
// background and a black border, one core-font line per line of the tip,
// placed under the icon and kept inside the screen.
#include "platform/x11/tray_tip.hpp"

#include "platform/x11/session.hpp"

#include <X11/Xatom.h>

#include <cstring>

namespace platform::x11 {
namespace {

constexpr std::size_t MaxTip = 127; // the tip field's characters
constexpr int Padding = 4;
constexpr int Gap = 2; // between the icon and the tooltip
constexpr int Border = 1;

struct Tooltip {
    ::Window window = 0;
    ::Window icon = 0; // the window it is placed under
    XFontStruct* font = nullptr;
    GC gc = nullptr;
    bool shown = false;
};

Tooltip& tooltip() {
    static Tooltip shared;
    return shared;
}

// One line of the tip: [text, text + length).
struct Line {
    const char* text = nullptr;
    int length = 0;
};

// The next line from *cursor up to end; false when none is left. A final
// newline does not start an empty line.
bool nextLine(const char*& cursor, const char* end, Line& line) {
    if (cursor >= end) {
        return false;
    }
    const void* found = std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor));
    const char* stop = found != nullptr ? static_cast<const char*>(found) : end;
    line.text = cursor;
    line.length = static_cast<int>(stop - cursor);
    cursor = stop < end ? stop + 1 : end;
    return true;
}

unsigned long paleYellow(Display* d, int screen) {
    XColor colour{};
    colour.red = 0xFFFF;
    colour.green = 0xFFFF;
    colour.blue = 0xE1E1;
    if (XAllocColor(d, DefaultColormap(d, screen), &colour) == 0) {
        return WhitePixel(d, screen);
    }
    return colour.pixel;
}

void markAsTooltip(Display* d, ::Window window) {
    Atom type = atom("_NET_WM_WINDOW_TYPE_TOOLTIP");
    XChangeProperty(d, window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
}

XFontStruct* loadFont(Display* d) {
    XFontStruct* font = XLoadQueryFont(d, "-misc-fixed-medium-r-normal--13-*");
    return font != nullptr ? font : XLoadQueryFont(d, "fixed");
}

// Creates the window, font and drawing context on first use.
bool prepare(Display* d) {
    Tooltip& t = tooltip();
    if (t.window != 0) {
        return true;
    }
    if (t.font == nullptr && (t.font = loadFont(d)) == nullptr) {
        return false;
    }
    const int screen = session().screen;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixel = paleYellow(d, screen);
    attributes.border_pixel = BlackPixel(d, screen);
    attributes.event_mask = ExposureMask;
    t.window = XCreateWindow(
        d, session().root, 0, 0, 1, 1, Border, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
    markAsTooltip(d, t.window);
    XStoreName(d, t.window, "Vigilon tooltip"); // found by name in tests and tools
    XGCValues values{};
    values.foreground = BlackPixel(d, screen);
    values.font = t.font->fid;
    t.gc = XCreateGC(d, t.window, GCForeground | GCFont, &values);
    return true;
}

int lineHeight() {
    return tooltip().font->ascent + tooltip().font->descent;
}

// The inner size of the window that holds the tip's lines.
void measure(const char* tip, int& width, int& height) {
    const char* cursor = tip;
    const char* end = tip + strnlen(tip, MaxTip);
    int widest = 0;
    int lines = 0;
    for (Line line; nextLine(cursor, end, line); ++lines) {
        const int w = XTextWidth(tooltip().font, line.text, line.length);
        widest = w > widest ? w : widest;
    }
    width = widest + 2 * Padding;
    height = lines * lineHeight() + 2 * Padding;
}

void draw(Display* d, const char* tip) {
    Tooltip& t = tooltip();
    XClearWindow(d, t.window);
    const char* cursor = tip;
    const char* end = tip + strnlen(tip, MaxTip);
    int baseline = Padding + t.font->ascent;
    for (Line line; nextLine(cursor, end, line); baseline += lineHeight()) {
        XDrawString(d, t.window, t.gc, Padding, baseline, line.text, line.length);
    }
}

// Sizes the window and puts it just below the icon, or above it when it
// would leave the bottom of the screen, shifted left to stay inside the
// screen. Without the icon (gone meanwhile) only the size changes.
void place(Display* d, int width, int height) {
    const auto w = static_cast<unsigned>(width);
    const auto h = static_cast<unsigned>(height);
    int iconX = 0;
    int iconY = 0;
    ::Window child = 0;
    XWindowAttributes attributes{};
    const ::Window icon = tooltip().icon;
    if (XGetWindowAttributes(d, icon, &attributes) == 0 ||
        XTranslateCoordinates(d, icon, session().root, 0, 0, &iconX, &iconY, &child) == 0) {
        XResizeWindow(d, tooltip().window, w, h);
        return;
    }
    const int outerWidth = width + 2 * Border;
    const int outerHeight = height + 2 * Border;
    const int screenWidth = DisplayWidth(d, session().screen);
    const int screenHeight = DisplayHeight(d, session().screen);
    int x = iconX;
    int y = iconY + attributes.height + Gap;
    if (y + outerHeight > screenHeight) {
        y = iconY - Gap - outerHeight;
    }
    x = x + outerWidth > screenWidth ? screenWidth - outerWidth : x;
    XMoveResizeWindow(d, tooltip().window, x < 0 ? 0 : x, y < 0 ? 0 : y, w, h);
}

} // namespace

void showTrayTip(::Window icon, const char* tip) {
    Display* d = openedDisplay();
    if (d == nullptr || icon == 0 || tip == nullptr || tip[0] == '\0' || !prepare(d)) {
        return;
    }
    int width = 0;
    int height = 0;
    measure(tip, width, height);
    tooltip().icon = icon;
    place(d, width, height);
    XMapRaised(d, tooltip().window);
    tooltip().shown = true;
    draw(d, tip);
    XFlush(d);
}

void updateTrayTip(const char* tip) {
    Display* d = openedDisplay();
    if (d == nullptr || !tooltip().shown) {
        return;
    }
    if (tip == nullptr || tip[0] == '\0') {
        hideTrayTip();
        return;
    }
    int width = 0;
    int height = 0;
    measure(tip, width, height);
    place(d, width, height);
    draw(d, tip);
    XFlush(d);
}

void hideTrayTip() {
    Display* d = openedDisplay();
    Tooltip& t = tooltip();
    if (d == nullptr || !t.shown) {
        return;
    }
    XUnmapWindow(d, t.window);
    t.shown = false;
    XFlush(d);
}

bool trayTipShown() {
    return tooltip().shown;
}

bool handleTrayTipEvent(const XEvent& xevent, const char* tip) {
    Tooltip& t = tooltip();
    if (t.window == 0 || xevent.xany.window != t.window) {
        return false;
    }
    if (xevent.type == Expose && xevent.xexpose.count == 0 && t.shown && tip != nullptr) {
        draw(xevent.xany.display, tip);
    }
    return true;
}

} // namespace platform::x11
