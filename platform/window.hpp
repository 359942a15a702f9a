// The status window: class, creation, visibility and stacking.
#pragma once

#include "platform/types.hpp"

namespace platform {

// What the user did to the status window or its tray icon.
enum class WindowEvent {
    Minimised,       // the window was minimised
    CloseRequest,    // the window's close command
    EscapeKey,       // Escape pressed in the window
    TrayDoubleClick, // left double-click on the tray icon
    Exposed,         // the window's contents were lost (uncovered, shown)
};

// Receives window events during dispatchMessage (or while a message box
// waits). context is the value given to registerWindowClass.
using WindowEventHandler = void (*)(void* context, WindowEvent event);

// Registers the status window's class with its icon resource.
void registerWindowClass(NativeHandle instance, const char* className, int iconResource,
                         WindowEventHandler handler, void* context);

// Creates the visible popup status window at 0,0; null on failure.
NativeHandle createStatusWindow(NativeHandle instance, const char* className, const char* title,
                                int width, int height);

void keepWindowOnTop(NativeHandle window);
void hideWindow(NativeHandle window);
void showWindowRestored(NativeHandle window);
void bringToForeground(NativeHandle window);
void destroyWindow(NativeHandle window);

} // namespace platform
