// The setup tool's notice on GTK 3: a modal message dialog over the setup
// dialog with the text, the caption as its title and an OK button.
#include "platform/setup_dialog.hpp"

#include <gtk/gtk.h>

namespace platform {

void showSetupNotice(NativeHandle dialog, const char* text, const char* caption) {
    GtkWindow* owner = dialog == nullptr ? nullptr : GTK_WINDOW(dialog);
    GtkWidget* notice = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                               GTK_BUTTONS_OK, "%s", text == nullptr ? "" : text);
    gtk_window_set_title(GTK_WINDOW(notice), caption == nullptr ? "" : caption);
    gtk_dialog_run(GTK_DIALOG(notice));
    gtk_widget_destroy(notice);
}

} // namespace platform
