// Program entry of the monitor.
#include "common/start_arguments.hpp"
#include "monitor/monitor_main.hpp"
#include "monitor/monitor_state.hpp"
#include "platform/console.hpp"
#include "platform/process.hpp"

#include <cstdlib>

namespace {
MonitorState state; // the one record, alive for the whole process
}

int main(int argc, char** argv) {
    // --help and --version print and end; any other arguments are ignored.
    if (const char* text = startArgumentText(Program::Monitor, argc, argv)) {
        platform::writeConsoleText(text);
        return 0;
    }
    std::exit(monitorMain(state, platform::moduleInstance()));
}
