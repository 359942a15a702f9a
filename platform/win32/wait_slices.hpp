// Waits of the Windows backends run in slices of at most this length, so
// that a stop request is seen within it.
#pragma once

namespace platform::win32 {

inline constexpr unsigned long WaitSliceMilliseconds = 50;

} // namespace platform::win32
