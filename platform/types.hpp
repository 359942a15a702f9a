// Plain types shared by the platform contract headers.
#pragma once

#include <cstdint>

namespace platform {

// A platform object (module instance, window, device or rendering context,
// icon) as an opaque value; null means none.
using NativeHandle = void*;

} // namespace platform
