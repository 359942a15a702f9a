// The status window's GLX context and its bitmap font. The window itself is
// the drawable, so the "device context" is the window's own XID.
#include "platform/gl_context.hpp"

#include "platform/x11/session.hpp"

#include <GL/glx.h>
#include <X11/Xutil.h>
#include <malloc.h>

namespace platform {
namespace {

using x11::fromHandle;
using x11::toHandle;

// The core fonts tried in turn: Courier bold 12 (xfonts-75dpi), the misc
// fixed bold face, then the server's "fixed" alias that always exists.
constexpr const char* FontNames[] = {
    "-*-courier-bold-r-normal--12-*-*-*-*-*-*-*",
    "-misc-fixed-bold-r-normal--13-*-*-*-*-*-*-*",
    "fixed",
};

// The visual the window was created with (createStatusWindow chose it for GLX).
XVisualInfo* windowVisual(Display* display, ::Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.visual == nullptr) {
        return nullptr;
    }
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    wanted.screen = XScreenNumberOfScreen(attributes.screen);
    int count = 0;
    return XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
}

// Whether the font has a glyph for the code: inside its range and with
// metrics that are not all zero (the protocol's mark of a missing glyph).
// The range test follows glXUseXFont's, for one- and two-byte fonts.
bool hasGlyph(const XFontStruct& font, unsigned code) {
    unsigned byte1 = code >> 8;
    unsigned byte2 = code & 0xff;
    bool oneRow = font.min_byte1 == font.max_byte1;
    unsigned cell = oneRow ? code : byte2;
    if (cell < font.min_char_or_byte2 || cell > font.max_char_or_byte2) {
        return false;
    }
    if (!oneRow && (byte1 < font.min_byte1 || byte1 > font.max_byte1)) {
        return false;
    }
    if (font.per_char == nullptr) {
        return true;
    }
    unsigned columns = font.max_char_or_byte2 - font.min_char_or_byte2 + 1;
    unsigned index = oneRow ? code - font.min_char_or_byte2
                            : (byte1 - font.min_byte1) * columns + (byte2 - font.min_char_or_byte2);
    const XCharStruct& glyph = font.per_char[index];
    return glyph.width != 0 || glyph.lbearing != 0 || glyph.rbearing != 0 || glyph.ascent != 0 ||
           glyph.descent != 0;
}

// Mesa's glXUseXFont compiles an empty glyph as a bitmap without pixels and
// reports GL_OUT_OF_MEMORY for it, so the runs of present glyphs go to
// glXUseXFont and a missing glyph (DEL, say) becomes a blank cell of the
// font's advance.
void useFont(const XFontStruct& font, int first, int count, std::uint32_t listBase) {
    static const GLubyte blank = 0;
    int runStart = 0;
    for (int i = 0; i <= count; ++i) {
        bool present = i < count && hasGlyph(font, static_cast<unsigned>(first + i));
        if (present) {
            continue;
        }
        if (i > runStart) {
            glXUseXFont(font.fid, first + runStart, i - runStart,
                        static_cast<int>(listBase) + runStart);
        }
        if (i < count) {
            glNewList(listBase + static_cast<std::uint32_t>(i), GL_COMPILE);
            glBitmap(1, 1, 0.0f, 0.0f, static_cast<GLfloat>(font.max_bounds.width), 0.0f, &blank);
            glEndList();
        }
        runStart = i + 1;
    }
}

// Mesa's software renderer allocates and frees blocks of several megabytes
// for every frame it draws; handed back to the system and mapped afresh each
// time, their page faults made a frame four times dearer. The blocks stay in
// the heap instead, to be reused.
void keepLargeBlocksInHeap() {
#ifdef __GLIBC__
    static bool done = false;
    if (!done) {
        done = true;
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
    }
#endif
}

} // namespace

GlContext createGlContext(NativeHandle window) {
    Display* display = x11::openedDisplay();
    if (display == nullptr || window == nullptr) {
        return {};
    }
    ::Window drawable = fromHandle(window);
    XVisualInfo* visual = windowVisual(display, drawable);
    if (visual == nullptr) {
        return {};
    }
    keepLargeBlocksInHeap();
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    if (context == nullptr) {
        return {};
    }
    if (glXMakeCurrent(display, drawable, context) == False) {
        glXDestroyContext(display, context);
        return {};
    }
    GlContext result;
    result.deviceContext = toHandle(drawable);
    result.renderContext = context;
    return result;
}

void destroyGlContext(NativeHandle, NativeHandle, NativeHandle renderContext) {
    Display* display = x11::openedDisplay();
    if (display == nullptr) {
        return;
    }
    glXMakeCurrent(display, None, nullptr);
    if (renderContext != nullptr) {
        glXDestroyContext(display, static_cast<GLXContext>(renderContext));
    }
    XFlush(display);
}

void buildFontLists(NativeHandle deviceContext, int first, int count, std::uint32_t listBase) {
    Display* display = x11::openedDisplay();
    if (display == nullptr || deviceContext == nullptr || glXGetCurrentContext() == nullptr) {
        return;
    }
    for (const char* name : FontNames) {
        XFontStruct* font = XLoadQueryFont(display, name);
        if (font != nullptr) {
            useFont(*font, first, count, listBase);
            XFreeFont(display, font);
            return;
        }
    }
}

void swapBuffers(NativeHandle deviceContext) {
    Display* display = x11::openedDisplay();
    if (display == nullptr || deviceContext == nullptr) {
        return;
    }
    glXSwapBuffers(display, fromHandle(deviceContext));
}

} // namespace platform
