// The one notification-area icon.
#pragma once

#include "platform/types.hpp"

#include <cstdint>

namespace platform {

// The icon record, kept by the monitor and passed whole to every call.
struct TrayIcon {
    std::uint32_t size = 0; // record size of the platform's layout (504)
    NativeHandle window = nullptr;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;           // 7 when added, 4 (tip only) otherwise
    std::uint32_t callbackMessage = 0; // 1025
    NativeHandle icon = nullptr;
    char tip[128] = {};
};

// Loads an icon resource at the small-icon size.
NativeHandle loadSmallIcon(NativeHandle instance, int iconResource);

enum class TrayAction { Add, Modify, Delete };

// Adds, modifies or deletes the icon described by the record.
void notifyTray(TrayAction action, const TrayIcon& icon);

} // namespace platform
