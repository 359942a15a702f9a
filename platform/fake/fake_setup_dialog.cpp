#include "platform/fake/fake_setup_dialog.hpp"

#include "common/text.hpp"

#include <filesystem>
#include <system_error>

namespace fake {

platform::NativeHandle setupDialogHandle() {
    static int token = 0; // its address serves as the dialog's handle
    return &token;
}

SetupDialog& setupDialog() {
    static SetupDialog shared;
    return shared;
}

void resetSetupDialog() {
    setupDialog() = SetupDialog{};
}

} // namespace fake

using fake::setupDialog;

namespace platform {

// Init, then the scripted events until one ends the dialog; -1 when it
// never ends.
int runSetupDialog(NativeHandle, DialogHandler handler, void* context) {
    if (setupDialog().createFails) {
        return -1;
    }
    handler(context, fake::setupDialogHandle(), DialogEvent::Init);
    for (DialogEvent event : setupDialog().events) {
        if (setupDialog().endResult) {
            break;
        }
        handler(context, fake::setupDialogHandle(), event);
    }
    return setupDialog().endResult.value_or(-1);
}

void endSetupDialog(NativeHandle, int result) {
    setupDialog().endResult = result;
}

void setControlText(NativeHandle, int id, const char* text) {
    setupDialog().controls[id].text = text;
}

void setControlNumber(NativeHandle, int id, int value) {
    setupDialog().controls[id].text = std::to_string(value);
}

std::size_t readControlText(NativeHandle, int id, char* text, std::size_t capacity) {
    return copyText(text, capacity, setupDialog().controls[id].text.c_str());
}

void limitControlText(NativeHandle, int id, int count) {
    setupDialog().controls[id].typingLimit = count;
}

void setControlChecked(NativeHandle, int id, bool checked) {
    setupDialog().controls[id].checked = checked;
}

bool controlChecked(NativeHandle, int id) {
    return setupDialog().controls[id].checked;
}

std::size_t currentDirectory(char* text, std::size_t capacity) {
    const std::optional<std::string>& directory = setupDialog().currentDirectory;
    if (!directory || directory->size() >= capacity) {
        copyText(text, capacity, "");
        return 0;
    }
    return copyText(text, capacity, directory->c_str());
}

void showSetupNotice(NativeHandle dialog, const char* text, const char* caption) {
    setupDialog().notices.push_back({dialog, text, caption});
}

bool replaceFile(const char* from, const char* to) {
    if (setupDialog().replaceFails) {
        return false;
    }
    std::error_code error; // replaces an existing file on both platforms
    std::filesystem::rename(from, to, error);
    return !error;
}

const char* fixedClientServiceName() {
    const std::optional<std::string>& name = setupDialog().fixedServiceName;
    return name ? name->c_str() : nullptr;
}

} // namespace platform
