// The tray icon as a StatusNotifierItem on the session bus (sd-bus), for
// desktops whose panels host those instead of XEmbed icons. Private to
// platform/x11/; tray.cpp decides when this way is used.
#pragma once

namespace platform::x11 {

// Connects to the session bus once per run (DBUS_SESSION_BUS_ADDRESS) and
// learns whether a StatusNotifierWatcher is there, waiting at most a second
// for the bus's answer; false without a bus, a watcher or an answer.
bool statusWatcherPresent();

// Puts the item on the bus under its own name and registers it with the
// watcher; false when it cannot.
bool showStatusItem(const char* tip);

// Takes the item off the bus: its name is released.
void hideStatusItem();

// The tooltip's text (at most 127 characters are read); a change is
// announced with NewToolTip while the item is shown.
void setStatusTip(const char* tip);

// What the bus brought since the last look.
struct StatusNews {
    bool activated = false;      // the item was clicked
    bool watcherChanged = false; // the watcher came or went: see statusWatcherPresent
};

// Services the bus connection when it has input or output waiting; without
// either, returns at once without a system call.
StatusNews serviceStatusBus();

} // namespace platform::x11
