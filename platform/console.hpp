// The programs' text output for --help and --version.
#pragma once

namespace platform {

// Writes text to the standard output or, for a Windows program without one,
// to the console of the program that started it; writes nothing when there
// is neither.
void writeConsoleText(const char* text);

} // namespace platform
