// The name of the Folding@home client's service, which the dialog offers
// each time it opens.
#pragma once

#include "setup/setup_state.hpp"

// Sets state.settings.serviceName to the platform's fixed name when it has
// one. Otherwise the name is made from the current directory, the client's
// "vigilon" folder: its parent with every '\' turned into '+', as in
// "FAH@D:+FAH+FAH502-Console.exe" for D:\FAH\vigilon. A directory that cannot
// be read or is shorter than seven characters gives an empty name.
void defaultServiceName(SetupState& state);
