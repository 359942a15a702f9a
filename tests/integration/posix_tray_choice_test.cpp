// The choice of the Linux tray icon's host as the desktop changes.
#include "platform/x11/tray_choice.hpp"

#include <gtest/gtest.h>

namespace {

using platform::x11::switchTray;
using platform::x11::TrayHost;

TEST(TrayChoice, FollowsTheWatcherThenTheXembedTrayThenTheTaskbar) {
    struct Case {
        const char* what;
        TrayHost current;
        bool watcher;
        bool xembedTray;
        TrayHost leave;
        TrayHost enter;
    };
    const Case cases[] = {
        {"a watcher wins over a tray", TrayHost::Hidden, true, true, TrayHost::Hidden,
         TrayHost::StatusNotifier},
        {"only an XEmbed tray", TrayHost::Hidden, false, true, TrayHost::Hidden, TrayHost::Xembed},
        {"neither", TrayHost::Hidden, false, false, TrayHost::Hidden, TrayHost::Taskbar},
        {"watcher lost, no tray", TrayHost::StatusNotifier, false, false, TrayHost::StatusNotifier,
         TrayHost::Taskbar},
        {"watcher lost, a tray", TrayHost::StatusNotifier, false, true, TrayHost::StatusNotifier,
         TrayHost::Xembed},
        {"watcher back", TrayHost::Taskbar, true, false, TrayHost::Taskbar,
         TrayHost::StatusNotifier},
        {"a watcher comes to a docked icon", TrayHost::Xembed, true, true, TrayHost::Xembed,
         TrayHost::StatusNotifier},
        {"a tray comes", TrayHost::Taskbar, false, true, TrayHost::Taskbar, TrayHost::Xembed},
        {"nothing changes", TrayHost::StatusNotifier, true, false, TrayHost::Hidden,
         TrayHost::Hidden},
        {"the tray stays", TrayHost::Xembed, false, true, TrayHost::Hidden, TrayHost::Hidden},
    };
    for (const Case& c : cases) {
        const auto step = switchTray(c.current, c.watcher, c.xembedTray);
        EXPECT_EQ(step.leave, c.leave) << c.what;
        EXPECT_EQ(step.enter, c.enter) << c.what;
    }
}

} // namespace
