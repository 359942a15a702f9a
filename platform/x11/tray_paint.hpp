// Draws the icon picture into the tray icon window. Private to
// platform/x11/.
#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

// Paints the picture as the largest centred square that fits width x height,
// over the window's background where the picture is transparent. The image
// is rebuilt only when that square's size changes.
void paintTrayIcon(::Window window, int width, int height);

} // namespace platform::x11
