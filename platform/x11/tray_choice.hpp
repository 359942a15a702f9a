// Which way the tray icon is shown, and what changes when the desktop does.
// Private to platform/x11/.
#pragma once

namespace platform::x11 {

enum class TrayHost {
    Hidden,         // no icon wanted
    StatusNotifier, // an item on the session bus, for a StatusNotifierWatcher
    Xembed,         // an icon window docked in an XEmbed tray
    Taskbar,        // neither exists: the status window waits iconified
};

// The host to use: a watcher first, as panels that host both show XEmbed
// icons only through a proxy; then an XEmbed tray; else the taskbar.
TrayHost chooseTrayHost(bool watcher, bool xembedTray);

// The step from the host in use to the chosen one: leave one, enter the
// other; both Hidden when nothing changes.
struct TraySwitch {
    TrayHost leave = TrayHost::Hidden;
    TrayHost enter = TrayHost::Hidden;
};

TraySwitch switchTray(TrayHost current, bool watcher, bool xembedTray);

} // namespace platform::x11
