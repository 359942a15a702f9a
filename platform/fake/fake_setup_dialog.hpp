// A recording setup dialog for the unit tests: controls kept by id, a
// scripted current directory and fixed service name, a file replacement
// that can be made to fail, and what the logic showed and ended with.
#pragma once

#include "platform/setup_dialog.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fake {

struct DialogControl {
    std::string text;
    bool checked = false;
    int typingLimit = -1; // -1 until limitControlText
};

struct SetupNotice {
    platform::NativeHandle dialog;
    std::string text;
    std::string caption;
};

struct SetupDialog {
    bool createFails = false;
    // Delivered after Init by runSetupDialog until the dialog ends.
    std::vector<platform::DialogEvent> events;
    std::optional<std::string> currentDirectory = "D:\\FAH\\vigilon"; // none: unreadable
    std::optional<std::string> fixedServiceName;                      // none: Windows
    bool replaceFails = false;

    // What happened.
    std::map<int, DialogControl> controls;
    std::vector<SetupNotice> notices;
    std::optional<int> endResult;
};

// The dialog handle the fake gives to the logic.
platform::NativeHandle setupDialogHandle();

// The one fake setup dialog; resetSetupDialog() gives a fresh one.
SetupDialog& setupDialog();
void resetSetupDialog();

} // namespace fake
