// The StatusNotifierItem object: the icon's properties (the same picture
// as the XEmbed icon at the sizes panels ask for, and the tooltip), its
// methods (Activate is the double click; the others do nothing), its name
// on the bus and its registration with the watcher.
#include "common/text.hpp"
#include "platform/x11/session.hpp"
#include "platform/x11/status_notifier_bus.hpp"

#include <cstdint>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace platform::x11 {
namespace {

const char* const ItemPath = "/StatusNotifierItem";
const char* const ItemInterface = "org.kde.StatusNotifierItem";
const char* const WatcherName = "org.kde.StatusNotifierWatcher";
constexpr std::size_t MaxTip = 127;
constexpr int PixmapSides[] = {16, 22, 32, 48};

struct Item {
    bool shown = false;
    sd_bus_slot* object = nullptr;
    char name[64] = {};
    char tip[MaxTip + 1] = {};
};

Item& item() {
    static Item shared;
    return shared;
}

struct TextProperty {
    const char* name;
    const char* value;
};

constexpr TextProperty TextProperties[] = {
    {"Category", "ApplicationStatus"},
    {"Id", "vigilon"},
    {"Title", "Vigilon"},
    {"Status", "Active"},
    {"IconName", ""},
    {"OverlayIconName", ""},
    {"AttentionIconName", ""},
    {"AttentionMovieName", ""},
    {"IconThemePath", ""},
};

int getText(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
            sd_bus_error*) {
    for (const TextProperty& text : TextProperties) {
        if (std::strcmp(text.name, property) == 0) {
            return sd_bus_message_append(reply, "s", text.value);
        }
    }
    return sd_bus_message_append(reply, "s", "");
}

int getZero(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*) {
    return sd_bus_message_append(reply, "i", 0);
}

int getFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 0);
}

// The picture at side x side as ARGB32 in network byte order.
std::vector<std::uint8_t> pixmapBytes(int side) {
    std::vector<unsigned long> argb(static_cast<std::size_t>(side * side));
    iconPictureArgb(side, side, argb.data());
    std::vector<std::uint8_t> bytes;
    bytes.reserve(argb.size() * 4);
    for (const unsigned long pixel : argb) {
        for (const int shift : {24, 16, 8, 0}) {
            bytes.push_back(static_cast<std::uint8_t>((pixel >> shift) & 0xFF));
        }
    }
    return bytes;
}

int appendPixmaps(sd_bus_message* reply, bool withPictures) {
    static const std::vector<std::uint8_t> pictures[] = {pixmapBytes(16), pixmapBytes(22),
                                                         pixmapBytes(32), pixmapBytes(48)};
    int result = sd_bus_message_open_container(reply, 'a', "(iiay)");
    for (std::size_t i = 0; withPictures && result >= 0 && i < std::size(PixmapSides); ++i) {
        const int side = PixmapSides[i];
        result = sd_bus_message_open_container(reply, 'r', "iiay");
        if (result >= 0) {
            result = sd_bus_message_append(reply, "ii", side, side);
        }
        if (result >= 0) {
            result =
                sd_bus_message_append_array(reply, 'y', pictures[i].data(), pictures[i].size());
        }
        if (result >= 0) {
            result = sd_bus_message_close_container(reply);
        }
    }
    return result < 0 ? result : sd_bus_message_close_container(reply);
}

int getPixmaps(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
               void*, sd_bus_error*) {
    return appendPixmaps(reply, std::strcmp(property, "IconPixmap") == 0);
}

// (icon name, icon pixmaps, title, text): the title and the status lines.
int getToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
               sd_bus_error*) {
    int result = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
    if (result >= 0) {
        result = sd_bus_message_append(reply, "s", "");
    }
    if (result >= 0) {
        result = appendPixmaps(reply, false);
    }
    if (result >= 0) {
        result = sd_bus_message_append(reply, "ss", "Vigilon", item().tip);
    }
    return result < 0 ? result : sd_bus_message_close_container(reply);
}

int onActivate(sd_bus_message* call, void*, sd_bus_error*) {
    statusBus().news.activated = true;
    return sd_bus_reply_method_return(call, nullptr);
}

int onIgnored(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, nullptr);
}

const sd_bus_vtable ItemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("WindowId", "i", getZero, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", getPixmaps, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconName", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", getPixmaps, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconName", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", getPixmaps, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionMovieName", "s", getText, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", getToolTip, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", getFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("Activate", "ii", "", onActivate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", onIgnored, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", onIgnored, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", onIgnored, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END,
};

void registerWithWatcher() {
    StatusBus& b = statusBus();
    Item& i = item();
    if (!i.shown || b.bus == nullptr) {
        return;
    }
    sd_bus_call_method_async(b.bus, nullptr, WatcherName, "/StatusNotifierWatcher", WatcherName,
                             "RegisterStatusNotifierItem", nullptr, nullptr, "s", i.name);
    b.sent();
}

} // namespace

bool statusWatcherPresent() {
    StatusBus& b = statusBus();
    b.onNewWatcher = registerWithWatcher;
    b.open();
    return b.watcher;
}

// The name is asked for before the registration: the bus handles one
// connection's messages in order, so the watcher finds the name owned.
bool showStatusItem(const char* tip) {
    setStatusTip(tip);
    StatusBus& b = statusBus();
    Item& i = item();
    if (i.shown) {
        return true;
    }
    if (!statusWatcherPresent() ||
        sd_bus_add_object_vtable(b.bus, &i.object, ItemPath, ItemInterface, ItemVtable, nullptr) <
            0) {
        return false;
    }
    formatText(i.name, sizeof i.name, "org.kde.StatusNotifierItem-%d-1",
               static_cast<int>(getpid()));
    if (sd_bus_request_name_async(b.bus, nullptr, i.name, 0, nullptr, nullptr) < 0) {
        i.object = sd_bus_slot_unref(i.object);
        return false;
    }
    i.shown = true;
    registerWithWatcher();
    return true;
}

void hideStatusItem() {
    StatusBus& b = statusBus();
    Item& i = item();
    if (!i.shown) {
        return;
    }
    i.shown = false;
    i.object = sd_bus_slot_unref(i.object);
    if (b.bus != nullptr) {
        sd_bus_release_name_async(b.bus, nullptr, i.name, nullptr, nullptr);
        b.sent();
    }
}

void setStatusTip(const char* tip) {
    Item& i = item();
    const auto length = static_cast<int>(strnlen(tip, MaxTip));
    if (std::strncmp(i.tip, tip, MaxTip) == 0) {
        return;
    }
    formatText(i.tip, sizeof i.tip, "%.*s", length, tip);
    StatusBus& b = statusBus();
    if (i.shown && b.bus != nullptr) {
        sd_bus_emit_signal(b.bus, ItemPath, ItemInterface, "NewToolTip", nullptr);
        b.sent();
    }
}

StatusNews serviceStatusBus() {
    return statusBus().service();
}

} // namespace platform::x11
