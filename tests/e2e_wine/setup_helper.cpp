// Test helper for the Windows end-to-end runs of the setup tool: finds its
// dialog by the caption's start and acts on it or reports on it, as a user
// would.
//   setup_helper texts            prints each control: id|check|text, check
//                                 being 0 or 1 for a check box, else -
//   setup_helper set <id> <text>  replaces a control's text
//   setup_helper save             the "Save and Exit" button
//   setup_helper escape           what Escape makes: the command IDCANCEL
//   setup_helper close            the close box (WM_CLOSE)
//   setup_helper exists           prints 1 when the dialog exists, else 0
// Exit code 0, or 1 when no dialog exists or the command is unknown.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char CaptionStart[] = "Vigilon Setup";
constexpr UINT ReplyMilliseconds = 5000;
constexpr int FirstEditId = 102; // tells the dialog from a notice of the same name

BOOL CALLBACK matchDialog(HWND window, LPARAM found) {
    char caption[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strncmp(caption, CaptionStart, sizeof CaptionStart - 1) != 0 ||
        GetDlgItem(window, FirstEditId) == nullptr) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND findDialog() {
    HWND dialog = nullptr;
    EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

bool isCheckBox(HWND control) {
    char name[16] = {};
    GetClassNameA(control, name, sizeof name);
    LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
    return _stricmp(name, "Button") == 0 && type == BS_AUTOCHECKBOX;
}

void printControl(HWND control) {
    char text[512] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, ReplyMilliseconds, &ignored);
    std::printf("%d|", GetDlgCtrlID(control));
    if (isCheckBox(control)) {
        DWORD_PTR state = 0;
        SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, ReplyMilliseconds,
                            &state);
        std::printf("%d|%s\n", static_cast<int>(state), text);
    } else {
        std::printf("-|%s\n", text);
    }
}

// The controls in the template's order, which is their order as children.
int printTexts(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        printControl(child);
    }
    return 0;
}

int setText(HWND dialog, int argc, char** argv) {
    HWND control = argc == 4 ? GetDlgItem(dialog, std::atoi(argv[2])) : nullptr;
    if (control == nullptr) {
        return 1;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]), SMTO_ABORTIFHUNG,
                        ReplyMilliseconds, &ignored);
    return 0;
}

int act(HWND dialog, int argc, char** argv) {
    const char* command = argv[1];
    if (std::strcmp(command, "texts") == 0) {
        return printTexts(dialog);
    }
    if (std::strcmp(command, "set") == 0) {
        return setText(dialog, argc, argv);
    }
    if (std::strcmp(command, "save") == 0) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1)));
    } else if (std::strcmp(command, "escape") == 0) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else if (std::strcmp(command, "close") == 0) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    } else {
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 1;
    }
    HWND dialog = findDialog();
    if (std::strcmp(argv[1], "exists") == 0) {
        std::printf("%d\n", dialog != nullptr ? 1 : 0);
        return 0;
    }
    return dialog != nullptr ? act(dialog, argc, argv) : 1;
}
