// The tray icon as an XEmbed system tray client. Private to platform/x11/;
// tray.cpp decides when this way of showing the icon is used.
#pragma once

#include "platform/window.hpp"

#include <X11/Xlib.h>

namespace platform::x11 {

// Whether the screen has an XEmbed tray manager now.
bool xembedTrayPresent();

// Docks the icon with the tray manager (made anew or docked again when the
// manager changed); false when there is no manager.
bool dockXembedIcon();

// Takes the icon out of the tray and forgets it.
void removeXembedIcon();

// The tip shown on hover (at most 127 characters are read).
void setXembedTip(const char* tip);

// What the XEmbed side saw in an event besides a window event.
enum class XembedNews { Nothing, ManagerAppeared, ManagerGone };

// Takes the events of the icon, its tooltip and the tray manager; true when
// the event means a window event (the double click).
bool translateXembedEvent(const XEvent& xevent, WindowEvent& event, XembedNews& news);

// Time-driven work: the tooltip's hover delay.
void pollXembedTray();

} // namespace platform::x11
