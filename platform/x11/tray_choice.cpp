#include "platform/x11/tray_choice.hpp"

namespace platform::x11 {

TrayHost chooseTrayHost(bool watcher, bool xembedTray) {
    if (watcher) {
        return TrayHost::StatusNotifier;
    }
    return xembedTray ? TrayHost::Xembed : TrayHost::Taskbar;
}

TraySwitch switchTray(TrayHost current, bool watcher, bool xembedTray) {
    const TrayHost chosen = chooseTrayHost(watcher, xembedTray);
    if (chosen == current) {
        return {};
    }
    return {current, chosen};
}

} // namespace platform::x11
