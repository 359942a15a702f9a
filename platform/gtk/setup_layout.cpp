// The setup dialog's window built from the tool's template: every control at
// its rectangle in dialog units, converted with the base units of the
// template's font (Helv 8 pt: 6 pixels per 4 horizontal units, 13 per 8
// vertical ones), on a GtkFixed. A compact style lets the controls fit the
// rectangles made for that font.
#include "platform/gtk/setup_window.hpp"

#include <vector>

namespace platform::gtk {
namespace {

enum class Kind { DefaultButton, Edit, DigitEdit, Label, Check, Group };

struct ControlTemplate {
    Kind kind;
    int id;
    const char* text;
    int x, y, width, height;
};

// In the template's order, which is also the tab order.
constexpr ControlTemplate Controls[] = {
    {Kind::DefaultButton, 1, "Save and Exit", 176, 117, 59, 26},
    {Kind::Edit, 102, "", 11, 25, 32, 12},
    {Kind::Label, 103, "CPU number(1-3000)", 51, 26, 80, 12},
    {Kind::DigitEdit, 104, "", 11, 43, 32, 12},
    {Kind::Check, 101, "Always on top", 11, 60, 97, 10},
    {Kind::Check, 107, "Enable log file", 11, 76, 107, 10},
    {Kind::Check, 108, "Start in system tray", 11, 91, 112, 10},
    {Kind::Check, 109, "Start in silent mode", 11, 106, 149, 10},
    {Kind::Check, 110, "Allow Vigilon to send stats to Dornhelm", 11, 142, 152, 10},
    {Kind::Check, 113, "Let Dornhelm control Vigilon remotely", 11, 155, 146, 10},
    {Kind::Edit, 111, "", 11, 169, 61, 12},
    {Kind::Edit, 114, "", 11, 196, 154, 12},
    {Kind::Check, 117, "Send data to Team Vantor's stat server", 11, 230, 150, 10},
    {Kind::Label, 105, "File update frequency(in minutes)", 52, 44, 112, 12},
    {Kind::Group, 106, "Basic Settings", 6, 6, 165, 121},
    {Kind::Label, 112, "IP address for Dornhelmer", 77, 171, 84, 12},
    {Kind::Label, 115, "Name of your Folding @ Home service:", 12, 184, 158, 12},
    {Kind::Group, 116, "Advanced Settings", 6, 128, 166, 86},
    {Kind::Group, 122, "Team Vantor Stat Server", 6, 218, 166, 30},
};

constexpr const char* Title = "Vigilon Setup                folding companion setup";
constexpr int DialogX = 153;
constexpr int DialogY = -25;
constexpr int ClientWidth = 249;
constexpr int ClientHeight = 252;
constexpr const char* StyleClass = "vigilon-setup";

constexpr const char* Style = R"(
window.vigilon-setup { font-family: "Liberation Sans", Arial, Helvetica, sans-serif;
                       font-size: 8pt; }
.vigilon-setup entry { min-height: 0; padding: 1px 3px; }
.vigilon-setup checkbutton { min-height: 0; padding: 0; }
.vigilon-setup check { min-width: 12px; min-height: 12px; margin: 0 4px 0 0; }
.vigilon-setup button { min-height: 0; padding: 2px 6px; }
)";

// Dialog units to pixels, rounded as the dialog manager does; negative
// positions stop at the screen's edge.
int pixelsX(int units) {
    return units <= 0 ? 0 : (units * 6 + 2) / 4;
}

int pixelsY(int units) {
    return units <= 0 ? 0 : (units * 13 + 4) / 8;
}

GtkWidget* makeEntry(Kind kind) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    if (kind == Kind::DigitEdit) {
        acceptDigitsOnly(entry);
    }
    return entry;
}

GtkWidget* makeLabel(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0F);
    return label;
}

GtkWidget* makeDefaultButton(const char* text) {
    GtkWidget* button = gtk_button_new_with_label(text);
    gtk_widget_set_can_default(button, TRUE);
    return button;
}

GtkWidget* makeControl(const ControlTemplate& control) {
    switch (control.kind) {
    case Kind::DefaultButton:
        return makeDefaultButton(control.text);
    case Kind::Edit:
    case Kind::DigitEdit:
        return makeEntry(control.kind);
    case Kind::Label:
        return makeLabel(control.text);
    case Kind::Check:
        return gtk_check_button_new_with_label(control.text);
    case Kind::Group:
        return gtk_frame_new(control.text);
    }
    return nullptr;
}

// Each control at its rectangle, the edges converted apart as the dialog
// manager converts them.
void place(GtkFixed* fixed, GtkWidget* widget, const ControlTemplate& control) {
    const int left = pixelsX(control.x);
    const int top = pixelsY(control.y);
    gtk_widget_set_size_request(widget, pixelsX(control.x + control.width) - left,
                                pixelsY(control.y + control.height) - top);
    gtk_fixed_put(fixed, widget, left, top);
}

void applyStyle(GtkWidget* window) {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, Style, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    gtk_style_context_add_class(gtk_widget_get_style_context(window), StyleClass);
}

// Window managers that read the Motif hints leave out minimise and maximise:
// a title with the close box only.
void offerMoveAndCloseOnly(GtkWidget* window) {
    gtk_widget_realize(window);
    gdk_window_set_functions(gtk_widget_get_window(window),
                             static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
    gdk_window_set_decorations(
        gtk_widget_get_window(window),
        static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
}

GtkWidget* makeWindow() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), Title);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_move(GTK_WINDOW(window), pixelsX(DialogX), pixelsY(DialogY));
    applyStyle(window);
    offerMoveAndCloseOnly(window);
    return window;
}

// The group boxes go in first, so that they are drawn behind the controls
// they frame.
std::vector<GtkWidget*> placeControls(SetupWindow& setup, GtkFixed* fixed) {
    std::vector<GtkWidget*> ordered;
    for (const bool groups : {true, false}) {
        for (const ControlTemplate& control : Controls) {
            if ((control.kind == Kind::Group) != groups) {
                continue;
            }
            GtkWidget* widget = makeControl(control);
            place(fixed, widget, control);
            setup.controls[control.id] = widget;
        }
    }
    for (const ControlTemplate& control : Controls) {
        ordered.push_back(setup.controls[control.id]);
    }
    return ordered;
}

// The explicit focus chain is marked deprecated in GTK 3.24, which has no
// other way to give the tab order; it works throughout GTK 3.
void setTabOrder(GtkWidget* container, const std::vector<GtkWidget*>& ordered) {
    GList* chain = nullptr;
    for (GtkWidget* widget : ordered) {
        chain = g_list_append(chain, widget);
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(container), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
}

} // namespace

void buildSetupWindow(SetupWindow& setup) {
    setup.window = makeWindow();
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, pixelsX(ClientWidth), pixelsY(ClientHeight));
    gtk_container_add(GTK_CONTAINER(setup.window), fixed);
    setTabOrder(fixed, placeControls(setup, GTK_FIXED(fixed)));
    setup.saveButton = setup.controls[Controls[0].id];
    gtk_widget_grab_default(setup.saveButton);
    gtk_widget_grab_focus(setup.saveButton);
}

} // namespace platform::gtk
