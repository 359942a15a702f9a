// The status window's rendering context, the frame, the tray icon and the
// window's events.
#pragma once

#include "monitor/display/wait_service.hpp" // the window's service during waits
#include "platform/window.hpp"

struct MonitorState;

inline constexpr const char* WindowClassName = "GLSample";
inline constexpr int StatusWindowWidth = 256;
inline constexpr int StatusWindowHeight = 135;
inline constexpr int WindowIconResource = 200;
inline constexpr int FontFirstCharacter = 32;
inline constexpr int FontListCount = 96;

void createRenderContext(MonitorState& state);
void destroyRenderContext(MonitorState& state);
void createFontLists(MonitorState& state);
void deleteFontLists(MonitorState& state);

// Draws one frame: panel, progress bar and the five text lines.
void drawStatusFrame(MonitorState& state);

// Hides the new window and adds the tray icon (start-up with trayMode 1).
void startInTray(MonitorState& state);

// Brings the display into the state that trayMode now names.
void applyTrayMode(MonitorState& state);

// Formats the status into the tooltip and updates the icon.
void refreshTrayTip(MonitorState& state);

// Releases the icon, or the font lists and context, and the window.
void releaseDisplay(MonitorState& state);

// The window procedure's part: minimise, close, Escape, double-click, and
// the frame drawn again when the window was uncovered.
void handleWindowEvent(MonitorState& state, platform::WindowEvent event);
