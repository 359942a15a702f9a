#include "monitor/display/display.hpp"

#include "common/text.hpp"
#include "monitor/monitor_state.hpp"
#include "platform/gl_context.hpp"
#include "platform/messages.hpp"
#include "platform/renderer.hpp"
#include "platform/tray.hpp"

#include <cstdarg>

namespace {

constexpr std::uint32_t TrayIconSize = 504;
constexpr std::uint32_t TrayAddFlags = 7;
constexpr std::uint32_t TrayTipFlags = 4;
constexpr std::uint32_t TrayCallbackMessage = 1025;

void prepareTrayIcon(MonitorState& s, std::uint32_t flags) {
    s.trayIcon.size = TrayIconSize;
    s.trayIcon.window = s.window;
    s.trayIcon.id = 1;
    s.trayIcon.flags = flags;
}

void addTrayIcon(MonitorState& s) {
    prepareTrayIcon(s, TrayAddFlags);
    s.trayIcon.callbackMessage = TrayCallbackMessage;
    s.trayIcon.icon = platform::loadSmallIcon(s.instance, WindowIconResource);
    platform::notifyTray(platform::TrayAction::Add, s.trayIcon);
}

void deleteTrayIcon(MonitorState& s) {
    prepareTrayIcon(s, TrayTipFlags);
    platform::notifyTray(platform::TrayAction::Delete, s.trayIcon);
}

void drawText(const MonitorState& s, const char* format, ...) VIGILON_PRINTF(2, 3);

void drawText(const MonitorState& s, const char* format, ...) {
    if (format == nullptr) {
        return;
    }
    char text[256];
    va_list args;
    va_start(args, format);
    std::size_t length = formatTextList(text, sizeof text, format, args);
    va_end(args);
    platform::drawListText(text, static_cast<int>(length), s.fontListBase);
}

void drawPanelAndBar(const MonitorState& s) {
    platform::resetModelView(-0.75f, -0.7f, 0.0f);
    const float grey = 0.4f;
    platform::drawQuad({{grey, grey, grey, -0.02f, -0.02f, -0.8f},
                        {grey, grey, grey, 1.52f, -0.02f, -0.8f},
                        {grey, grey, grey, 1.52f, 0.52f, -0.8f},
                        {grey, grey, grey, -0.02f, 0.52f, -0.8f}});
    const float w = static_cast<float>(s.progressPercent / ProgressScale);
    platform::drawQuad({{0.2f, 0.0f, 0.0f, 0.0f, 0.0f, -0.8f},
                        {0.9f, 0.0f, 0.0f, w, 0.0f, -0.8f},
                        {0.9f, 0.0f, 0.0f, w, 0.5f, -0.8f},
                        {0.2f, 0.0f, 0.0f, 0.0f, 0.5f, -0.8f}});
}

} // namespace

void createRenderContext(MonitorState& s) {
    platform::GlContext context = platform::createGlContext(s.window);
    s.deviceContext = context.deviceContext;
    s.renderContext = context.renderContext;
}

void destroyRenderContext(MonitorState& s) {
    platform::destroyGlContext(s.window, s.deviceContext, s.renderContext);
    s.deviceContext = nullptr;
    s.renderContext = nullptr;
}

void createFontLists(MonitorState& s) {
    s.fontListBase = platform::generateLists(FontListCount);
    platform::buildFontLists(s.deviceContext, FontFirstCharacter, FontListCount, s.fontListBase);
}

void deleteFontLists(MonitorState& s) {
    platform::deleteLists(s.fontListBase, FontListCount);
}

void drawStatusFrame(MonitorState& s) {
    platform::clearFrame();
    drawPanelAndBar(s);
    platform::setColour(1.0f, 1.0f, 1.0f);
    platform::resetModelView(0.0f, 0.0f, -1.0f);
    platform::setRasterPosition(-0.95f, 0.7f);
    drawText(s, "CPU #: %d         Work Unit #: %d", s.cpuNumber, s.unitCount);
    platform::setRasterPosition(-0.95f, 0.4f);
    drawText(s, "Name: %s", s.unitName);
    platform::setRasterPosition(-0.95f, 0.1f);
    drawText(s, "Core: %s     Points: %d", s.coreName, s.unitPoints);
    platform::setRasterPosition(-0.95f, -0.5f);
    drawText(s, "                %d%%             ", s.progressPercent);
    platform::setColour(0.0f, 0.0f, 0.6f);
    platform::setRasterPosition(-0.95f, -0.91f);
    drawText(s, "%s", "Vigilon - folding companion");
    platform::swapBuffers(s.deviceContext);
}

void startInTray(MonitorState& s) {
    platform::hideWindow(s.window);
    addTrayIcon(s);
}

void applyTrayMode(MonitorState& s) {
    if (s.window == nullptr) {
        return; // silent mode: nothing to show or hide, and no icon
    }
    if (s.trayMode != 0) {
        platform::hideWindow(s.window);
        deleteFontLists(s);
        destroyRenderContext(s);
        addTrayIcon(s);
        return;
    }
    deleteTrayIcon(s);
    platform::showWindowRestored(s.window);
    platform::bringToForeground(s.window);
    createRenderContext(s);
    createFontLists(s);
}

void refreshTrayTip(MonitorState& s) {
    formatText(s.trayIcon.tip, sizeof s.trayIcon.tip,
               "CPU#: %d    WU#: %d\nName: %s\nCore: %s     Points: %d\n%d%% Completed",
               s.cpuNumber, s.unitCount, s.unitName, s.coreName, s.unitPoints, s.progressPercent);
    if (s.window == nullptr) {
        return; // silent mode has no icon
    }
    prepareTrayIcon(s, TrayTipFlags);
    platform::notifyTray(platform::TrayAction::Modify, s.trayIcon);
}

void releaseDisplay(MonitorState& s) {
    if (s.silentMode != 0) {
        return;
    }
    if (s.trayMode != 0) {
        deleteTrayIcon(s);
    } else {
        deleteFontLists(s);
        destroyRenderContext(s);
    }
    platform::destroyWindow(s.window);
    s.window = nullptr;
}

void handleWindowEvent(MonitorState& s, platform::WindowEvent event) {
    switch (event) {
    case platform::WindowEvent::Minimised:
    case platform::WindowEvent::TrayDoubleClick:
        s.trayMode = s.trayMode == 0 ? 1 : 0;
        applyTrayMode(s);
        break;
    case platform::WindowEvent::CloseRequest:
    case platform::WindowEvent::EscapeKey:
        platform::postQuit(0);
        break;
    case platform::WindowEvent::Exposed:
        if (s.trayMode == 0 && s.window != nullptr) {
            drawStatusFrame(s); // at once: an uncovered window is not left black
        }
        break;
    }
}
