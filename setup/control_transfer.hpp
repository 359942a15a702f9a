// Moving the settings between the record and the dialog's controls.
#pragma once

#include "setup/setup_state.hpp"

// Shows every setting in its control and limits each edit box to what
// readSetupControls takes back, so nothing typed is cut on saving.
void fillSetupControls(const SetupState& state);

// Takes every setting back from its control, without validation: the
// numbers convert like atoi ("12ab" gives 12, empty gives 0).
void readSetupControls(SetupState& state);
