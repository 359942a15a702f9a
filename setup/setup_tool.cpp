#include "setup/setup_tool.hpp"

#include "setup/control_transfer.hpp"
#include "setup/service_name.hpp"
#include "setup/settings_save.hpp"
#include "setup/setup_state.hpp"

namespace {

constexpr const char* SaveFailedText =
    "The settings could not be saved to vigilon.ini. Check that the folder can be written to.";
constexpr const char* NoticeCaption = "Vigilon Setup";

void openDialog(SetupState& state, platform::NativeHandle dialog) {
    state.dialog = dialog;
    readSetupSettings(state.settings); // a missing file leaves the start values
    defaultServiceName(state);
    fillSetupControls(state);
}

void saveAndExit(SetupState& state) {
    readSetupControls(state);
    if (!saveSettingsFile(state.settings)) {
        platform::showSetupNotice(state.dialog, SaveFailedText, NoticeCaption);
        return;
    }
    platform::endSetupDialog(state.dialog, 1);
}

} // namespace

void onSetupDialogEvent(void* context, platform::NativeHandle dialog, platform::DialogEvent event) {
    SetupState& state = *static_cast<SetupState*>(context);
    switch (event) {
    case platform::DialogEvent::Init:
        openDialog(state, dialog);
        break;
    case platform::DialogEvent::Save:
        saveAndExit(state);
        break;
    case platform::DialogEvent::Close:
        platform::endSetupDialog(dialog, 0);
        break;
    }
}

int runSetupTool(platform::NativeHandle instance) {
    SetupState state;
    return platform::runSetupDialog(instance, onSetupDialogEvent, &state);
}
