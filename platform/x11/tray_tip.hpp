// The tray icon's tooltip: a small override-redirect window under the icon
// with one line of text per line of the tip. Private to platform/x11/.
#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

// Shows the tip (at most 127 characters are read) just below the icon
// window, or above it near the screen's bottom; nothing when it is empty.
void showTrayTip(::Window icon, const char* tip);

// Draws a changed tip if the tooltip is shown; an empty one hides it.
void updateTrayTip(const char* tip);

void hideTrayTip();

bool trayTipShown();

// Takes the events of the tooltip window (its Expose redraws the tip);
// false for any other event.
bool handleTrayTipEvent(const XEvent& xevent, const char* tip);

} // namespace platform::x11
