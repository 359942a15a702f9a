// Program entry of the monitor.
#include "monitor/monitor_main.hpp"
#include "monitor/monitor_state.hpp"
#include "platform/process.hpp"

#include <cstdlib>

namespace {
MonitorState state; // the one record, alive for the whole process
}

int main() {
    std::exit(monitorMain(state, platform::moduleInstance()));
}
