// The status window's WGL context and its bitmap font lists.
#include "platform/gl_context.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <GL/gl.h>

namespace platform {
namespace {

constexpr DWORD PixelFormatFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "the pixel format record");

PIXELFORMATDESCRIPTOR statusPixelFormat() {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PixelFormatFlags;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

// Lists the blank again with its advance drawn from a one-byte bitmap. An
// empty glyph's list is made with a null bitmap, and Wine's OpenGL (checked
// with Wine 8) then moves the raster position by nothing: the window's words
// ran together. Windows draws the same list either way.
void relistBlank(HDC dc, int first, int count, std::uint32_t listBase) {
    if (' ' < first || ' ' >= first + count) {
        return;
    }
    static const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    static const GLubyte blank[4] = {};
    GLYPHMETRICS metrics{};
    if (GetGlyphOutlineA(dc, ' ', GGO_METRICS, &metrics, 0, nullptr, &identity) == GDI_ERROR) {
        return;
    }
    glNewList(listBase + static_cast<std::uint32_t>(' ' - first), GL_COMPILE);
    glBitmap(0, 0, 0, 0, static_cast<GLfloat>(metrics.gmCellIncX), 0, blank);
    glEndList();
}

} // namespace

// Results are not tested: a failure leaves the window black. On a return from
// the tray the window still has its first pixel format, which the same
// request chooses again.
GlContext createGlContext(NativeHandle window) {
    HDC dc = GetDC(static_cast<HWND>(window));
    PIXELFORMATDESCRIPTOR format = statusPixelFormat();
    int index = ChoosePixelFormat(dc, &format);
    SetPixelFormat(dc, index, &format);
    HGLRC context = wglCreateContext(dc);
    wglMakeCurrent(dc, context);
    return {dc, context};
}

void destroyGlContext(NativeHandle window, NativeHandle deviceContext, NativeHandle renderContext) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(renderContext));
    ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(deviceContext));
}

// Bold 12-pixel Courier New; the font is only needed while the lists are
// built.
void buildFontLists(NativeHandle deviceContext, int first, int count, std::uint32_t listBase) {
    HDC dc = static_cast<HDC>(deviceContext);
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, "Courier New");
    HGDIOBJ previous = SelectObject(dc, font);
    wglUseFontBitmapsA(dc, static_cast<DWORD>(first), static_cast<DWORD>(count), listBase);
    relistBlank(dc, first, count, listBase);
    SelectObject(dc, previous);
    DeleteObject(font);
}

void swapBuffers(NativeHandle deviceContext) {
    SwapBuffers(static_cast<HDC>(deviceContext));
}

} // namespace platform
