// The setup dialog on GTK 3 as its parts share it: the window, its controls
// by template id, and the nested main loop that runs it until the logic ends
// the dialog.
#pragma once

#include "platform/setup_dialog.hpp"

#include <gtk/gtk.h>

#include <map>

namespace platform::gtk {

struct SetupWindow {
    GtkWidget* window = nullptr; // the dialog's NativeHandle
    GtkWidget* saveButton = nullptr;
    std::map<int, GtkWidget*> controls;
    GMainLoop* loop = nullptr;
    DialogHandler handler = nullptr;
    void* context = nullptr;
    int result = 0;
    bool ended = false;
};

// The key under which the window holds its record.
inline constexpr const char* WindowDataKey = "vigilon-setup-window";

// Makes the window and every control of the template, not yet shown, with
// the save button as the default and the focus.
void buildSetupWindow(SetupWindow& setup);

// The record of a dialog handle, or null for a handle that is not one.
SetupWindow* setupWindowOf(NativeHandle dialog);

// The control with the template id, or null.
GtkWidget* controlOf(NativeHandle dialog, int id);

// Lets the user type only digits into the entry.
void acceptDigitsOnly(GtkWidget* entry);

// Text set by the program, which the digit filter lets pass.
void setEntryText(GtkWidget* entry, const char* text);

} // namespace platform::gtk
