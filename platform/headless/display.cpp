// The display for a build without a window system: no window, no context and
// no icon. The monitor still reads, logs and reports; it says once that it
// runs without its window.
#include "platform/gl_context.hpp"
#include "platform/renderer.hpp"
#include "platform/tray.hpp"
#include "platform/window.hpp"

#include <cstdio>

namespace platform {

void registerWindowClass(NativeHandle, const char*, int, WindowEventHandler, void*) {}

NativeHandle createStatusWindow(NativeHandle, const char*, const char*, int, int) {
    static bool told = false;
    if (!told) {
        told = true;
        std::fprintf(stderr, "vigilon: this build has no display; running without window or "
                             "tray icon\n");
    }
    return nullptr;
}

void keepWindowOnTop(NativeHandle) {}
void hideWindow(NativeHandle) {}
void showWindowRestored(NativeHandle) {}
void bringToForeground(NativeHandle) {}
void destroyWindow(NativeHandle) {}

GlContext createGlContext(NativeHandle) {
    return {};
}
void destroyGlContext(NativeHandle, NativeHandle, NativeHandle) {}
void buildFontLists(NativeHandle, int, int, std::uint32_t) {}
void swapBuffers(NativeHandle) {}

void clearFrame() {}
void resetModelView(float, float, float) {}
void drawQuad(const Vertex (&)[4]) {}
void setColour(float, float, float) {}
void setRasterPosition(float, float) {}
void drawListText(const char*, int, std::uint32_t) {}
std::uint32_t generateLists(int) {
    return 0;
}
void deleteLists(std::uint32_t, int) {}

NativeHandle loadSmallIcon(NativeHandle, int) {
    return nullptr;
}
void notifyTray(TrayAction, const TrayIcon&) {}

} // namespace platform
