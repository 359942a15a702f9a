// The server's clock: the time now, and its ISO 8601 form for the API and
// the log.
#pragma once

#include <string>

// Times are seconds since the epoch, with fractions.
using Seconds = double;

Seconds currentTime();

// ISO 8601 in UTC with milliseconds: 2024-05-01T12:00:00.250Z
std::string isoTime(Seconds time);
