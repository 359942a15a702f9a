// The notification-area icon through Shell_NotifyIconA. The record of the
// added icon is kept, with every later change, so that it can be added again
// to the taskbar of a restarted Explorer.
#include "platform/tray.hpp"

#include "common/text.hpp"
#include "platform/win32/display_state.hpp"

namespace platform {
namespace {

// The core's record size (504) names the version-3 layout, whose size
// differs between the 32-bit and 64-bit ABIs.
#if defined(_WIN64)
static_assert(NOTIFYICONDATAA_V3_SIZE == 520, "64-bit version-3 tray record");
#else
static_assert(NOTIFYICONDATAA_V3_SIZE == 504, "32-bit version-3 tray record");
#endif

NOTIFYICONDATAA addedIcon{};
bool iconAdded = false;

// A modification changes the fields its flags name, in the kept record too.
void keepChange(const NOTIFYICONDATAA& change) {
    if (!iconAdded) {
        return;
    }
    if ((change.uFlags & NIF_MESSAGE) != 0) {
        addedIcon.uCallbackMessage = change.uCallbackMessage;
    }
    if ((change.uFlags & NIF_ICON) != 0) {
        addedIcon.hIcon = change.hIcon;
    }
    if ((change.uFlags & NIF_TIP) != 0) {
        copyText(addedIcon.szTip, change.szTip);
    }
    addedIcon.uFlags |= change.uFlags;
}

} // namespace

namespace win32 {

NOTIFYICONDATAA notifyIconData(const TrayIcon& icon) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V3_SIZE;
    data.hWnd = static_cast<HWND>(icon.window);
    data.uID = icon.id;
    data.uFlags = icon.flags;
    data.uCallbackMessage = icon.callbackMessage;
    data.hIcon = static_cast<HICON>(icon.icon);
    // The precision bounds the read: the tip need not be terminated.
    formatText(data.szTip, sizeof data.szTip, "%.*s", static_cast<int>(sizeof icon.tip - 1),
               icon.tip);
    return data;
}

const NOTIFYICONDATAA* addedTrayIcon() {
    return iconAdded ? &addedIcon : nullptr;
}

void addTrayIconAgain() {
    if (iconAdded) {
        NOTIFYICONDATAA data = addedIcon;
        Shell_NotifyIconA(NIM_ADD, &data);
    }
}

} // namespace win32

NativeHandle loadSmallIcon(NativeHandle instance, int iconResource) {
    return LoadImageA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(iconResource), IMAGE_ICON,
                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                      LR_DEFAULTCOLOR);
}

// The record is kept whatever the shell answers: an add refused while no
// taskbar exists yet is made good when one announces itself.
void notifyTray(TrayAction action, const TrayIcon& icon) {
    NOTIFYICONDATAA data = win32::notifyIconData(icon);
    switch (action) {
    case TrayAction::Add:
        Shell_NotifyIconA(NIM_ADD, &data);
        addedIcon = data;
        iconAdded = true;
        break;
    case TrayAction::Modify:
        Shell_NotifyIconA(NIM_MODIFY, &data);
        keepChange(data);
        break;
    case TrayAction::Delete:
        Shell_NotifyIconA(NIM_DELETE, &data);
        addedIcon = NOTIFYICONDATAA{};
        iconAdded = false;
        break;
    }
}

} // namespace platform
