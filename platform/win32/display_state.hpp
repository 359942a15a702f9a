// What the Windows display files share: the tray record Shell_NotifyIconA
// receives and the icon last added, which the window procedure adds again
// when a restarted Explorer announces a new taskbar.
#pragma once

#include "platform/tray.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

namespace platform::win32 {

// The portable record as Shell_NotifyIconA's version-3 layout; the tip is cut
// to 127 characters and never read past its 128 bytes.
NOTIFYICONDATAA notifyIconData(const TrayIcon& icon);

// The record of the icon now added (with the changes made since), or null
// while none is.
const NOTIFYICONDATAA* addedTrayIcon();

// Adds the icon now added once more, for a new taskbar; nothing without one.
void addTrayIconAgain();

} // namespace platform::win32
