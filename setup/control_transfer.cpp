#include "setup/control_transfer.hpp"

#include "common/stream_reader.hpp"
#include "platform/setup_dialog.hpp"
#include "setup/setup_controls.hpp"

#include <cstddef>

namespace {

constexpr std::size_t NumberCapacity = 5;         // four characters of a number
constexpr std::size_t ServerAddressCapacity = 30; // 29 characters
constexpr std::size_t ServiceNameCapacity = 255;  // 254 characters

struct CheckBox {
    int id;
    int SetupSettings::*value;
};

// In the order they are filled and read.
constexpr CheckBox CheckBoxes[] = {
    {setup_control::AlwaysOnTop, &SetupSettings::alwaysOnTop},
    {setup_control::LogFile, &SetupSettings::logEnabled},
    {setup_control::StartInTray, &SetupSettings::trayMode},
    {setup_control::SilentMode, &SetupSettings::silentMode},
    {setup_control::ServerLink, &SetupSettings::serverLinkEnabled},
    {setup_control::RemoteControl, &SetupSettings::remoteControlEnabled},
};

void limitTyping(platform::NativeHandle dialog, int id, std::size_t capacity) {
    platform::limitControlText(dialog, id, static_cast<int>(capacity - 1));
}

int readNumber(platform::NativeHandle dialog, int id) {
    char text[NumberCapacity];
    platform::readControlText(dialog, id, text, sizeof text);
    return parseInteger(text);
}

// Reads an edit box into a settings field no larger than capacity allows.
template <std::size_t N>
void readText(platform::NativeHandle dialog, int id, char (&field)[N], std::size_t capacity) {
    static_assert(N > 0);
    platform::readControlText(dialog, id, field, capacity < N ? capacity : N);
}

} // namespace

void fillSetupControls(const SetupState& state) {
    platform::NativeHandle dialog = state.dialog;
    const SetupSettings& s = state.settings;
    limitTyping(dialog, setup_control::CpuNumber, NumberCapacity);
    limitTyping(dialog, setup_control::Interval, NumberCapacity);
    limitTyping(dialog, setup_control::ServerAddress, ServerAddressCapacity);
    limitTyping(dialog, setup_control::ServiceName, ServiceNameCapacity);
    platform::setControlNumber(dialog, setup_control::CpuNumber, s.cpuNumber);
    platform::setControlNumber(dialog, setup_control::Interval, s.delayMinutes);
    for (const CheckBox& box : CheckBoxes) {
        platform::setControlChecked(dialog, box.id, s.*box.value != 0);
    }
    platform::setControlText(dialog, setup_control::ServerAddress, s.serverAddress);
    platform::setControlText(dialog, setup_control::ServiceName, s.serviceName);
    platform::setControlChecked(dialog, setup_control::StatsSite, s.statsSiteEnabled != 0);
}

void readSetupControls(SetupState& state) {
    platform::NativeHandle dialog = state.dialog;
    SetupSettings& s = state.settings;
    s.cpuNumber = readNumber(dialog, setup_control::CpuNumber);
    s.delayMinutes = readNumber(dialog, setup_control::Interval);
    for (const CheckBox& box : CheckBoxes) {
        s.*box.value = platform::controlChecked(dialog, box.id) ? 1 : 0;
    }
    readText(dialog, setup_control::ServerAddress, s.serverAddress, ServerAddressCapacity);
    readText(dialog, setup_control::ServiceName, s.serviceName, ServiceNameCapacity);
    s.statsSiteEnabled = platform::controlChecked(dialog, setup_control::StatsSite) ? 1 : 0;
}
