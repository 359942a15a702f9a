// The setup dialog's controls on GTK 3, found by their template ids: text,
// numbers, check marks and the length limit of the edit boxes, and the digit
// filter of the number boxes.
#include "platform/gtk/setup_window.hpp"

#include "common/text.hpp"

namespace platform::gtk {
namespace {

// The digit filter's data, by which the program's own text passes it.
char digitFilter;

// Typing or pasting anything but digits into a number box inserts nothing.
void onInsertText(GtkEditable* editable, const gchar* text, gint length, gint*, gpointer) {
    for (gint i = 0; length < 0 ? text[i] != '\0' : i < length; ++i) {
        if (!g_ascii_isdigit(text[i])) {
            g_signal_stop_emission_by_name(editable, "insert-text");
            return;
        }
    }
}

} // namespace

void acceptDigitsOnly(GtkWidget* entry) {
    g_signal_connect(entry, "insert-text", G_CALLBACK(onInsertText), &digitFilter);
}

void setEntryText(GtkWidget* entry, const char* text) {
    const auto match = G_SIGNAL_MATCH_DATA;
    g_signal_handlers_block_matched(entry, match, 0, 0, nullptr, nullptr, &digitFilter);
    gtk_entry_set_text(GTK_ENTRY(entry), text);
    g_signal_handlers_unblock_matched(entry, match, 0, 0, nullptr, nullptr, &digitFilter);
}

SetupWindow* setupWindowOf(NativeHandle dialog) {
    if (dialog == nullptr) {
        return nullptr;
    }
    return static_cast<SetupWindow*>(g_object_get_data(G_OBJECT(dialog), WindowDataKey));
}

GtkWidget* controlOf(NativeHandle dialog, int id) {
    SetupWindow* setup = setupWindowOf(dialog);
    if (setup == nullptr) {
        return nullptr;
    }
    const auto found = setup->controls.find(id);
    return found == setup->controls.end() ? nullptr : found->second;
}

} // namespace platform::gtk

namespace platform {

using gtk::controlOf;

void setControlText(NativeHandle dialog, int id, const char* text) {
    GtkWidget* control = controlOf(dialog, id);
    const char* shown = text == nullptr ? "" : text;
    if (GTK_IS_ENTRY(control)) {
        gtk::setEntryText(control, shown);
    } else if (GTK_IS_LABEL(control)) {
        gtk_label_set_text(GTK_LABEL(control), shown);
    } else if (GTK_IS_FRAME(control)) {
        gtk_frame_set_label(GTK_FRAME(control), shown);
    } else if (GTK_IS_BUTTON(control)) {
        gtk_button_set_label(GTK_BUTTON(control), shown);
    }
}

void setControlNumber(NativeHandle dialog, int id, int value) {
    char text[16];
    formatText(text, sizeof text, "%d", value);
    setControlText(dialog, id, text);
}

std::size_t readControlText(NativeHandle dialog, int id, char* text, std::size_t capacity) {
    GtkWidget* control = controlOf(dialog, id);
    const char* shown = GTK_IS_ENTRY(control) ? gtk_entry_get_text(GTK_ENTRY(control)) : "";
    return copyText(text, capacity, shown);
}

void limitControlText(NativeHandle dialog, int id, int count) {
    GtkWidget* control = controlOf(dialog, id);
    if (GTK_IS_ENTRY(control)) {
        gtk_entry_set_max_length(GTK_ENTRY(control), count);
    }
}

void setControlChecked(NativeHandle dialog, int id, bool checked) {
    GtkWidget* control = controlOf(dialog, id);
    if (GTK_IS_TOGGLE_BUTTON(control)) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control), checked ? TRUE : FALSE);
    }
}

bool controlChecked(NativeHandle dialog, int id) {
    GtkWidget* control = controlOf(dialog, id);
    return GTK_IS_TOGGLE_BUTTON(control) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control)) != FALSE;
}

} // namespace platform
