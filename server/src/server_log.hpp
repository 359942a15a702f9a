// The server's log: lines on stderr.
#pragma once

#include <string>

// One line on stderr with the time in front.
void logLine(const std::string& text);
