#include "setup/service_name.hpp"

#include "common/text.hpp"
#include "platform/setup_dialog.hpp"

namespace {

constexpr std::size_t DirectoryCapacity = 255;
constexpr std::size_t OwnFolderLength = 7; // "vigilon" at the end of the directory

} // namespace

void defaultServiceName(SetupState& state) {
    char* name = state.settings.serviceName;
    const std::size_t capacity = sizeof state.settings.serviceName;
    if (const char* fixed = platform::fixedClientServiceName(); fixed != nullptr) {
        copyText(name, capacity, fixed);
        return;
    }
    char directory[DirectoryCapacity];
    const std::size_t length = platform::currentDirectory(directory, sizeof directory);
    if (length < OwnFolderLength || length >= sizeof directory) {
        copyText(name, capacity, "");
        return;
    }
    directory[length - OwnFolderLength] = '\0';
    for (char* c = directory; *c != '\0'; ++c) {
        if (*c == '\\') {
            *c = '+';
        }
    }
    formatText(name, capacity, "FAH@%sFAH502-Console.exe", directory);
}
