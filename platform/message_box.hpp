// A blocking notice with one confirming button.
#pragma once

#include "platform/types.hpp"

namespace platform {

void showMessageBox(NativeHandle owner, const char* text, const char* caption);

} // namespace platform
