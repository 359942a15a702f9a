// The tray icon's drawing: the icon picture at the window's size, put with a
// clip mask so that its transparent corners show the tray's background.
#include "platform/x11/tray_paint.hpp"

#include "platform/x11/session.hpp"

#include <X11/Xutil.h>

#include <bit>
#include <cstdlib>
#include <vector>

namespace platform::x11 {
namespace {

constexpr int MaxSide = 256;
constexpr unsigned long OpaqueFrom = 128; // alpha from which a pixel is drawn

struct Painted {
    int side = 0;
    XImage* image = nullptr;
    Pixmap mask = 0;
    GC gc = nullptr;
};

Painted& painted() {
    static Painted shared;
    return shared;
}

// An 8-bit channel placed into a TrueColor visual's channel mask.
unsigned long intoMask(unsigned long value, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    value = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (value << shift) & mask;
}

unsigned long pixelOf(Display* d, const Visual* visual, unsigned long argb) {
    const unsigned long r = (argb >> 16) & 0xFF;
    const unsigned long g = (argb >> 8) & 0xFF;
    const unsigned long b = argb & 0xFF;
    if (visual->c_class == TrueColor || visual->c_class == DirectColor) {
        return intoMask(r, visual->red_mask) | intoMask(g, visual->green_mask) |
               intoMask(b, visual->blue_mask);
    }
    const int screen = session().screen; // other visuals: black and white only
    return r * 3 + g * 6 + b > 1275 ? WhitePixel(d, screen) : BlackPixel(d, screen);
}

XImage* makeImage(Display* d, const std::vector<unsigned long>& argb, int side) {
    const int screen = session().screen;
    Visual* visual = DefaultVisual(d, screen);
    XImage* image =
        XCreateImage(d, visual, static_cast<unsigned>(DefaultDepth(d, screen)), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(side), static_cast<unsigned>(side), 32, 0);
    if (image == nullptr) {
        return nullptr;
    }
    // XDestroyImage frees the data with free().
    image->data = static_cast<char*>(
        std::malloc(static_cast<std::size_t>(image->bytes_per_line) * static_cast<unsigned>(side)));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return nullptr;
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            XPutPixel(image, x, y,
                      pixelOf(d, visual, argb[static_cast<std::size_t>(y * side + x)]));
        }
    }
    return image;
}

// A bitmap of the pixels opaque enough to draw (rows padded to bytes, least
// significant bit first, as XCreateBitmapFromData reads them).
Pixmap makeMask(Display* d, ::Window window, const std::vector<unsigned long>& argb, int side) {
    const int stride = (side + 7) / 8;
    std::vector<char> bits(static_cast<std::size_t>(stride * side), 0);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if ((argb[static_cast<std::size_t>(y * side + x)] >> 24) >= OpaqueFrom) {
                bits[static_cast<std::size_t>(y * stride + x / 8)] |=
                    static_cast<char>(1 << (x % 8));
            }
        }
    }
    return XCreateBitmapFromData(d, window, bits.data(), static_cast<unsigned>(side),
                                 static_cast<unsigned>(side));
}

void release(Display* d, Painted& p) {
    if (p.image != nullptr) {
        XDestroyImage(p.image);
        p.image = nullptr;
    }
    if (p.mask != 0) {
        XFreePixmap(d, p.mask);
        p.mask = 0;
    }
    p.side = 0;
}

bool rebuild(Display* d, ::Window window, int side) {
    Painted& p = painted();
    if (p.side == side && p.image != nullptr) {
        return true;
    }
    release(d, p);
    std::vector<unsigned long> argb(static_cast<std::size_t>(side * side), 0);
    iconPictureArgb(side, side, argb.data());
    p.image = makeImage(d, argb, side);
    p.mask = makeMask(d, window, argb, side);
    if (p.image == nullptr || p.mask == 0) {
        release(d, p);
        return false;
    }
    p.side = side;
    return true;
}

} // namespace

void paintTrayIcon(::Window window, int width, int height) {
    Display* d = openedDisplay();
    int side = width < height ? width : height;
    side = side < MaxSide ? side : MaxSide;
    if (d == nullptr || window == 0 || side <= 0) {
        return;
    }
    XClearWindow(d, window);
    if (!rebuild(d, window, side)) {
        return;
    }
    Painted& p = painted();
    if (p.gc == nullptr) {
        p.gc = XCreateGC(d, window, 0, nullptr);
    }
    const int x = (width - side) / 2;
    const int y = (height - side) / 2;
    XSetClipMask(d, p.gc, p.mask);
    XSetClipOrigin(d, p.gc, x, y);
    XPutImage(d, window, p.gc, p.image, 0, 0, x, y, static_cast<unsigned>(side),
              static_cast<unsigned>(side));
    XFlush(d);
}

} // namespace platform::x11
