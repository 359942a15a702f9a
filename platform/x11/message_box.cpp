// The blocking notice on X11: a small dialog with the text, the caption as
// its title and one OK button, confirmed by Enter, Escape, the button or the
// window manager's close box. It uses the monitor's display when that is
// open, else a connection of its own; without any display the notice goes to
// standard error.
#include "platform/message_box.hpp"

#include "platform/stop.hpp"

#include "platform/x11/session.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr int Margin = 16;
constexpr int ButtonMinWidth = 75;
constexpr int PollMilliseconds = 100;

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

std::vector<std::string> splitLines(const char* text) {
    std::vector<std::string> lines(1);
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') {
            lines.emplace_back();
        } else if (*c != '\r') {
            lines.back().push_back(*c);
        }
    }
    return lines;
}

int textWidth(XFontStruct* font, const std::string& text) {
    return XTextWidth(font, text.c_str(), static_cast<int>(text.size()));
}

unsigned long namedColour(Display* display, int screen, const char* name, unsigned long fallback) {
    XColor exact{};
    XColor screenColour{};
    if (XAllocNamedColor(display, DefaultColormap(display, screen), name, &screenColour, &exact) !=
        0) {
        return screenColour.pixel;
    }
    return fallback;
}

class Dialog {
public:
    Dialog(Display* display, NativeHandle owner, const char* text, const char* caption)
        : display_(display), screen_(DefaultScreen(display)), lines_(splitLines(text)) {
        font_ = XLoadQueryFont(display_, "-*-helvetica-medium-r-normal--12-*");
        if (font_ == nullptr) {
            font_ = XLoadQueryFont(display_, "fixed");
        }
        if (font_ == nullptr) {
            return;
        }
        layOut();
        create(owner, caption);
    }

    ~Dialog() {
        if (window_ != 0) {
            XFreeGC(display_, gc_);
            XDestroyWindow(display_, window_);
            XSync(display_, False);
            XEvent event;
            while (XCheckIfEvent(display_, &event, isFor, reinterpret_cast<XPointer>(&window_))) {
            }
        }
        if (font_ != nullptr) {
            XFreeFont(display_, font_);
        }
        XFlush(display_);
    }

    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    bool created() const { return window_ != 0; }

    // Waits for the confirmation, or for a stop request.
    void run() {
        int fd = ConnectionNumber(display_);
        while (!done_ && !stopRequested()) {
            XEvent event;
            while (!done_ &&
                   XCheckIfEvent(display_, &event, isFor, reinterpret_cast<XPointer>(&window_))) {
                handle(event);
            }
            if (done_) {
                break;
            }
            pollfd wait{fd, POLLIN, 0};
            poll(&wait, 1, PollMilliseconds);
        }
    }

private:
    static Bool isFor(Display*, XEvent* event, XPointer window) {
        return event->xany.window == *reinterpret_cast<::Window*>(window) ? True : False;
    }

    void layOut() {
        lineHeight_ = font_->ascent + font_->descent;
        int textW = 0;
        for (const std::string& line : lines_) {
            textW = std::max(textW, textWidth(font_, line));
        }
        buttonW_ = std::max(ButtonMinWidth, textWidth(font_, "OK") + 24);
        buttonH_ = lineHeight_ + 10;
        width_ = std::max(textW, buttonW_) + 2 * Margin;
        height_ =
            Margin + static_cast<int>(lines_.size()) * lineHeight_ + Margin + buttonH_ + Margin;
        buttonX_ = (width_ - buttonW_) / 2;
        buttonY_ = height_ - Margin - buttonH_;
    }

    void create(NativeHandle owner, const char* caption) {
        ::Window root = RootWindow(display_, screen_);
        unsigned long black = BlackPixel(display_, screen_);
        unsigned long white = WhitePixel(display_, screen_);
        background_ = namedColour(display_, screen_, "gray86", white);
        buttonFace_ = namedColour(display_, screen_, "gray94", white);
        pressedFace_ = namedColour(display_, screen_, "gray70", black);
        shadow_ = namedColour(display_, screen_, "gray40", black);
        foreground_ = black;
        int x = std::max(0, (DisplayWidth(display_, screen_) - width_) / 2);
        int y = std::max(0, (DisplayHeight(display_, screen_) - height_) / 2);
        window_ = XCreateSimpleWindow(display_, root, x, y, static_cast<unsigned>(width_),
                                      static_cast<unsigned>(height_), 0, black, background_);
        if (window_ == 0) {
            return;
        }
        XSelectInput(display_, window_,
                     ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                         StructureNotifyMask);

        XStoreName(display_, window_, caption);
        XChangeProperty(display_, window_, intern("_NET_WM_NAME"), intern("UTF8_STRING"), 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(caption),
                        static_cast<int>(std::strlen(caption)));
        std::string name = "vigilon";
        std::string resClass = "Vigilon";
        XClassHint classHint{};
        classHint.res_name = name.data();
        classHint.res_class = resClass.data();
        XSetClassHint(display_, window_, &classHint);

        XSizeHints* size = XAllocSizeHints();
        if (size != nullptr) {
            size->flags = PPosition | PSize | PMinSize | PMaxSize;
            size->x = x;
            size->y = y;
            size->width = size->min_width = size->max_width = width_;
            size->height = size->min_height = size->max_height = height_;
            XSetWMNormalHints(display_, window_, size);
            XFree(size);
        }
        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = True;
        hints.initial_state = NormalState;
        XSetWMHints(display_, window_, &hints);

        Atom dialogType = intern("_NET_WM_WINDOW_TYPE_DIALOG");
        XChangeProperty(display_, window_, intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&dialogType), 1);
        if (owner != nullptr) {
            XSetTransientForHint(display_, window_, x11::fromHandle(owner));
        }
        wmProtocols_ = intern("WM_PROTOCOLS");
        wmDelete_ = intern("WM_DELETE_WINDOW");
        XSetWMProtocols(display_, window_, &wmDelete_, 1);

        XGCValues values{};
        values.font = font_->fid;
        values.foreground = foreground_;
        values.background = background_;
        gc_ = XCreateGC(display_, window_, GCFont | GCForeground | GCBackground, &values);

        XMapRaised(display_, window_);
        XFlush(display_);
    }

    Atom intern(const char* name) { return XInternAtom(display_, name, False); }

    bool inButton(int x, int y) const {
        return x >= buttonX_ && x < buttonX_ + buttonW_ && y >= buttonY_ && y < buttonY_ + buttonH_;
    }

    void handle(const XEvent& event) {
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) {
                draw();
            }
            break;
        case KeyPress: {
            XKeyEvent key = event.xkey;
            KeySym symbol = XLookupKeysym(&key, 0);
            if (symbol == XK_Return || symbol == XK_KP_Enter || symbol == XK_Escape) {
                done_ = true;
            }
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1 && inButton(event.xbutton.x, event.xbutton.y)) {
                pressed_ = true;
                draw();
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && pressed_) {
                pressed_ = false;
                if (inButton(event.xbutton.x, event.xbutton.y)) {
                    done_ = true;
                } else {
                    draw();
                }
            }
            break;
        case ClientMessage:
            if (event.xclient.message_type == wmProtocols_ && event.xclient.format == 32 &&
                static_cast<Atom>(event.xclient.data.l[0]) == wmDelete_) {
                done_ = true;
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window_) {
                window_ = 0; // destroyed from outside; nothing left to confirm
                XFreeGC(display_, gc_);
                done_ = true;
            }
            break;
        default:
            break;
        }
    }

    void draw() {
        XClearWindow(display_, window_);
        XSetForeground(display_, gc_, foreground_);
        int y = Margin + font_->ascent;
        for (const std::string& line : lines_) {
            XDrawString(display_, window_, gc_, Margin, y, line.c_str(),
                        static_cast<int>(line.size()));
            y += lineHeight_;
        }
        XSetForeground(display_, gc_, pressed_ ? pressedFace_ : buttonFace_);
        XFillRectangle(display_, window_, gc_, buttonX_, buttonY_, static_cast<unsigned>(buttonW_),
                       static_cast<unsigned>(buttonH_));
        XSetForeground(display_, gc_, shadow_);
        XDrawRectangle(display_, window_, gc_, buttonX_, buttonY_,
                       static_cast<unsigned>(buttonW_ - 1), static_cast<unsigned>(buttonH_ - 1));
        // The default button's second frame: Enter confirms it.
        XSetForeground(display_, gc_, foreground_);
        XDrawRectangle(display_, window_, gc_, buttonX_ - 1, buttonY_ - 1,
                       static_cast<unsigned>(buttonW_ + 1), static_cast<unsigned>(buttonH_ + 1));
        int labelX = buttonX_ + (buttonW_ - textWidth(font_, "OK")) / 2;
        int labelY = buttonY_ + (buttonH_ - lineHeight_) / 2 + font_->ascent;
        XDrawString(display_, window_, gc_, labelX, labelY, "OK", 2);
        XFlush(display_);
    }

    Display* display_;
    int screen_;
    std::vector<std::string> lines_;
    XFontStruct* font_ = nullptr;
    ::Window window_ = 0;
    GC gc_ = nullptr;
    Atom wmProtocols_ = None;
    Atom wmDelete_ = None;
    unsigned long background_ = 0;
    unsigned long buttonFace_ = 0;
    unsigned long pressedFace_ = 0;
    unsigned long shadow_ = 0;
    unsigned long foreground_ = 0;
    int lineHeight_ = 0;
    int width_ = 0;
    int height_ = 0;
    int buttonX_ = 0;
    int buttonY_ = 0;
    int buttonW_ = 0;
    int buttonH_ = 0;
    bool pressed_ = false;
    bool done_ = false;
};

void sayOnStderr(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

} // namespace

void showMessageBox(NativeHandle owner, const char* text, const char* caption) {
    if (text == nullptr) {
        text = "";
    }
    if (caption == nullptr) {
        caption = "";
    }
    // The monitor's own display when open; openDisplay's notice is about the
    // status window, so a connection of its own otherwise.
    Display* shared = x11::openedDisplay();
    Display* display = shared != nullptr ? shared : XOpenDisplay(nullptr);
    if (display == nullptr) {
        sayOnStderr(text, caption);
        return;
    }
    // An owner that vanished, or a window destroyed from outside, must not
    // end the program through the default error handler.
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    {
        Dialog dialog(display, owner, text, caption);
        if (dialog.created()) {
            dialog.run();
        } else {
            sayOnStderr(text, caption);
        }
    }
    XSetErrorHandler(previous);
    if (shared == nullptr) {
        XCloseDisplay(display);
    }
}

} // namespace platform
