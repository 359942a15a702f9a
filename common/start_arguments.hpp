// The two requests a program start may make instead of running: "--help"
// and "--version", as the first argument. Any other start runs as always,
// whatever its arguments.
#pragma once

enum class Program { Monitor, Setup };

// The text such a start prints (the usage, or the name and version), or null
// when the program is to run.
const char* startArgumentText(Program program, int argc, const char* const* argv);
