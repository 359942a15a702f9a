#include "monitor/report/client_service.hpp"

#include "monitor/monitor_state.hpp"
#include "platform/clock.hpp"
#include "platform/service.hpp"

bool serviceNameIsUsable(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || c == '"' || c == '%') {
            return false;
        }
    }
    return true;
}

int restartClientService(MonitorState& s) {
    if (!serviceNameIsUsable(s.serviceName)) {
        return 0;
    }
    platform::runServiceCommand(platform::ServiceAction::Stop, s.serviceName,
                                ServiceCommandTimeLimitMilliseconds);
    platform::sleepMilliseconds(ServiceRestartPauseMilliseconds);
    platform::runServiceCommand(platform::ServiceAction::Start, s.serviceName,
                                ServiceCommandTimeLimitMilliseconds);
    return 1;
}
