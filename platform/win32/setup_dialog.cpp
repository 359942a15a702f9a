// The setup tool's dialog on Windows: the modal dialog of template 100 and
// its controls, reached through the dialog item functions.
#include "platform/setup_dialog.hpp"

#include "common/text.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <climits>
#include <commctrl.h>

namespace platform {

namespace {

constexpr int SetupTemplateId = 100;
constexpr WORD SaveButtonId = 1;

// What the dialog procedure needs from runSetupDialog, kept in DWLP_USER.
struct DialogRecord {
    DialogHandler handler;
    void* context;
};

HWND asWindow(NativeHandle dialog) {
    return static_cast<HWND>(dialog);
}

void notify(HWND dialog, DialogEvent event) {
    auto* record = reinterpret_cast<DialogRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (record != nullptr) {
        record->handler(record->context, dialog, event);
    }
}

// Init, the Save button (also Enter) and the close box reach the logic; any
// other command, Escape's IDCANCEL among them, leaves the dialog open.
INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        notify(dialog, DialogEvent::Init);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != SaveButtonId) {
            return FALSE;
        }
        notify(dialog, DialogEvent::Save);
        return TRUE;
    case WM_CLOSE:
        notify(dialog, DialogEvent::Close);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int runSetupDialog(NativeHandle instance, DialogHandler handler, void* context) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFFFFFFFF; // every class
    InitCommonControlsEx(&controls);
    HINSTANCE module =
        instance != nullptr ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
    DialogRecord record{handler, context};
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(SetupTemplateId), nullptr,
                                     setupDialogProc, reinterpret_cast<LPARAM>(&record));
    return static_cast<int>(result);
}

void endSetupDialog(NativeHandle dialog, int result) {
    EndDialog(asWindow(dialog), result);
}

void setControlText(NativeHandle dialog, int id, const char* text) {
    SetDlgItemTextA(asWindow(dialog), id, text);
}

void setControlNumber(NativeHandle dialog, int id, int value) {
    SetDlgItemInt(asWindow(dialog), id, static_cast<UINT>(value), TRUE);
}

std::size_t readControlText(NativeHandle dialog, int id, char* text, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    copyText(text, capacity, ""); // empty when the control cannot be read
    int room = capacity < INT_MAX ? static_cast<int>(capacity) : INT_MAX;
    UINT count = GetDlgItemTextA(asWindow(dialog), id, text, room);
    return count < static_cast<UINT>(room) ? count : static_cast<UINT>(room) - 1;
}

void limitControlText(NativeHandle dialog, int id, int count) {
    SendDlgItemMessageA(asWindow(dialog), id, EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
}

void setControlChecked(NativeHandle dialog, int id, bool checked) {
    CheckDlgButton(asWindow(dialog), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool controlChecked(NativeHandle dialog, int id) {
    return IsDlgButtonChecked(asWindow(dialog), id) == BST_CHECKED;
}

void showSetupNotice(NativeHandle dialog, const char* text, const char* caption) {
    MessageBoxA(asWindow(dialog), text, caption, MB_OK | MB_ICONWARNING);
}

} // namespace platform
