// The one tray icon on Linux, shown the way the desktop hosts it: as a
// StatusNotifierItem when a watcher is on the session bus, else docked in an
// XEmbed tray, else not at all, with the status window iconified to the
// taskbar instead. The way is chosen again whenever a watcher or a tray
// comes or goes.
#include "platform/tray.hpp"

#include "common/text.hpp"
#include "platform/x11/session.hpp"
#include "platform/x11/status_notifier.hpp"
#include "platform/x11/tray_choice.hpp"
#include "platform/x11/tray_xembed.hpp"

#include <cstring>

namespace platform::x11 {
namespace {

constexpr std::uint32_t TipFlag = 4; // the record's tip is valid

TrayHost& host() {
    static TrayHost shared = TrayHost::Hidden;
    return shared;
}

char (&tipText())[128] {
    static char shared[128] = {};
    return shared;
}

void leave(TrayHost from) {
    if (from == TrayHost::StatusNotifier) {
        hideStatusItem();
    } else if (from == TrayHost::Xembed) {
        removeXembedIcon();
    }
}

// Enters a host; one that cannot take the icon gives way to the next.
TrayHost enter(TrayHost to) {
    if (to == TrayHost::StatusNotifier && !showStatusItem(tipText())) {
        to = xembedTrayPresent() ? TrayHost::Xembed : TrayHost::Taskbar;
    }
    if (to == TrayHost::Xembed && !dockXembedIcon()) {
        to = TrayHost::Taskbar;
    }
    if (to == TrayHost::Taskbar) {
        iconifyInsteadOfTray();
    } else {
        withdrawIfIconifiedForTray();
    }
    return to;
}

// Chooses again after a watcher or a tray came or went. An XEmbed icon that
// stays with XEmbed is docked again, in case another tray took over.
void chooseAgain() {
    TrayHost& current = host();
    if (current == TrayHost::Hidden) {
        return;
    }
    const TraySwitch step = switchTray(current, statusWatcherPresent(), xembedTrayPresent());
    if (step.enter != TrayHost::Hidden) {
        leave(step.leave);
        current = enter(step.enter);
    } else if (current == TrayHost::Xembed && !dockXembedIcon()) {
        leave(current);
        current = enter(TrayHost::Taskbar);
    }
}

void storeTip(const TrayIcon& record) {
    if ((record.flags & TipFlag) == 0) {
        return;
    }
    char(&tip)[128] = tipText();
    formatText(tip, sizeof tip, "%.*s", static_cast<int>(strnlen(record.tip, sizeof tip - 1)),
               record.tip);
    setXembedTip(tip);
    setStatusTip(tip);
}

} // namespace

bool translateTrayEvent(const XEvent& xevent, WindowEvent& event) {
    XembedNews news = XembedNews::Nothing;
    const bool meansEvent = translateXembedEvent(xevent, event, news);
    if (news != XembedNews::Nothing) {
        chooseAgain();
    }
    return meansEvent;
}

bool pollTray(WindowEvent& event) {
    pollXembedTray();
    const StatusNews news = serviceStatusBus();
    if (news.watcherChanged) {
        chooseAgain();
    }
    if (news.activated && host() == TrayHost::StatusNotifier) {
        event = WindowEvent::TrayDoubleClick;
        return true;
    }
    return false;
}

} // namespace platform::x11

namespace platform {

namespace {

// The one picture the tray draws; the handle stands for it.
struct SmallIcon {
    int resource = 0;
};

} // namespace

NativeHandle loadSmallIcon(NativeHandle, int iconResource) {
    static SmallIcon icon;
    icon.resource = iconResource;
    return &icon;
}

void notifyTray(TrayAction action, const TrayIcon& icon) {
    using namespace x11;
    switch (action) {
    case TrayAction::Add:
        if (openDisplay() == nullptr) {
            return;
        }
        storeTip(icon);
        leave(host());
        host() = enter(chooseTrayHost(statusWatcherPresent(), xembedTrayPresent()));
        break;
    case TrayAction::Modify:
        storeTip(icon);
        break;
    case TrayAction::Delete:
        leave(host());
        host() = TrayHost::Hidden;
        break;
    }
}

} // namespace platform
