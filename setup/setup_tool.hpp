// The setup tool: the dialog's events and the program's run.
#pragma once

#include "platform/setup_dialog.hpp"

// The dialog handler; context is the SetupState. Init fills the controls
// from "vigilon.ini" and the default service name, Save writes the file and
// ends the dialog with 1 (a failed save leaves it open with a notice), Close
// ends it with 0 and writes nothing.
void onSetupDialogEvent(void* context, platform::NativeHandle dialog, platform::DialogEvent event);

// Runs the dialog; returns 1 when saved, 0 when closed, -1 when the dialog
// cannot be created. A null instance lets the backend use the program's own.
int runSetupTool(platform::NativeHandle instance);
