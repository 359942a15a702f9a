#include "monitor/report/companion_link.hpp"

#include "monitor/monitor_state.hpp"

// Placeholder until the companion server link lands: no connection is made.
int exchangeStatus(MonitorState&) { return 0; }

int sendFinalStatus(MonitorState& state) {
    state.monitorClosing = 1;
    return 0;
}
