// The setup dialog on GTK 3: the window runs in a nested main loop until the
// logic ends it; the close box and the save button (also Enter in any edit
// box) are the logic's events, and Escape does nothing.
#include "platform/gtk/setup_window.hpp"

#include <cstdio>

namespace platform {
namespace {

using gtk::SetupWindow;

// Events still queued once the window is gone, handled without waiting.
constexpr int PendingEventLimit = 1000;

bool displayOpen() {
    static const bool open = gtk_init_check(nullptr, nullptr) != FALSE;
    return open;
}

void send(SetupWindow& setup, DialogEvent event) {
    setup.handler(setup.context, setup.window, event);
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    send(*static_cast<SetupWindow*>(data), DialogEvent::Close);
    return TRUE;
}

gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
    return event->keyval == GDK_KEY_Escape ? TRUE : FALSE;
}

void onSave(GtkButton*, gpointer data) {
    send(*static_cast<SetupWindow*>(data), DialogEvent::Save);
}

void connectEvents(SetupWindow& setup) {
    g_object_set_data(G_OBJECT(setup.window), gtk::WindowDataKey, &setup);
    g_signal_connect(setup.window, "delete-event", G_CALLBACK(onDelete), &setup);
    g_signal_connect(setup.window, "key-press-event", G_CALLBACK(onKeyPress), nullptr);
    g_signal_connect(setup.saveButton, "clicked", G_CALLBACK(onSave), &setup);
}

void runUntilEnded(SetupWindow& setup) {
    if (setup.ended) {
        return;
    }
    gtk_widget_show_all(setup.window);
    setup.loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(setup.loop);
    g_main_loop_unref(setup.loop);
    setup.loop = nullptr;
}

void closeWindow(SetupWindow& setup) {
    g_object_set_data(G_OBJECT(setup.window), gtk::WindowDataKey, nullptr);
    gtk_widget_destroy(setup.window);
    for (int i = 0; i < PendingEventLimit && gtk_events_pending(); ++i) {
        gtk_main_iteration_do(FALSE);
    }
}

} // namespace

int runSetupDialog(NativeHandle, DialogHandler handler, void* context) {
    if (!displayOpen()) {
        const char* name = g_getenv("DISPLAY");
        std::fprintf(stderr, "vigilon_config: cannot open the display \"%s\"\n",
                     name == nullptr ? "" : name);
        return -1;
    }
    SetupWindow setup;
    setup.handler = handler;
    setup.context = context;
    gtk::buildSetupWindow(setup);
    connectEvents(setup);
    send(setup, DialogEvent::Init);
    runUntilEnded(setup);
    closeWindow(setup);
    return setup.result;
}

void endSetupDialog(NativeHandle dialog, int result) {
    SetupWindow* setup = gtk::setupWindowOf(dialog);
    if (setup == nullptr || setup->ended) {
        return;
    }
    setup->result = result;
    setup->ended = true;
    if (setup->loop != nullptr) {
        g_main_loop_quit(setup->loop);
    }
}

} // namespace platform
