#include "service_stub.hpp"

#include <cstdlib>
#include <fstream>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace servicestub {
namespace {

std::string savedPath;

} // namespace

#if defined(_WIN32)

bool install(const std::string&, const std::string&) {
    return false;
}

void remove() {}

#else

bool install(const std::string& folder, const std::string& argumentsFile) {
    const std::string stub = folder + "/systemctl";
    {
        std::ofstream script(stub, std::ios::trunc);
        script << "#!/bin/sh\n"
                  ": > '"
               << argumentsFile
               << "'\n"
                  "for argument in \"$@\"; do\n"
                  "    printf '%s\\n' \"$argument\" >> '"
               << argumentsFile
               << "'\n"
                  "done\n"
                  "for argument in \"$@\"; do name=$argument; done\n"
                  "case $name in\n"
                  "slow) exec sleep 30 ;;\n"
                  "failing) exit 5 ;;\n"
                  "esac\n"
                  "exit 0\n";
    }
    if (chmod(stub.c_str(), 0755) != 0) {
        return false;
    }
    const char* path = std::getenv("PATH");
    savedPath = path != nullptr ? path : "/usr/bin:/bin";
    return setenv("PATH", (folder + ":" + savedPath).c_str(), 1) == 0;
}

void remove() {
    if (!savedPath.empty()) {
        setenv("PATH", savedPath.c_str(), 1);
    }
}

#endif

} // namespace servicestub
