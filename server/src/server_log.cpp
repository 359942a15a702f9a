#include "server_log.hpp"

#include "server_clock.hpp"

#include <cstdio>

void logLine(const std::string& text) {
    std::string line = isoTime(currentTime()) + " " + text + "\n";
    std::fputs(line.c_str(), stderr);
}
