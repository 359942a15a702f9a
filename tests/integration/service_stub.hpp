// A stand-in for the platform's service tool, for testing how the backend
// starts it: where the stub can be put first on the search path (POSIX), it
// writes each argument it gets on a line of its own into a file and behaves
// by the service name it is given: "slow" sleeps for 30 s, "failing" exits
// with 5, any other name exits with 0.
#pragma once

#include <string>

namespace servicestub {

// Installs the stub in folder and puts folder first on the search path;
// false where the platform's tool is found by full path (Windows).
bool install(const std::string& folder, const std::string& argumentsFile);

// Puts the search path back as it was.
void remove();

} // namespace servicestub
