#include "monitor/system_identity.hpp"

#include "common/text.hpp"
#include "monitor/monitor_state.hpp"
#include "platform/host.hpp"

void identifySystem(MonitorState& s) {
    if (cpuidAvailable() == 0) {
        return;
    }
    CpuidResult cpuid{};
    queryCpuid(&cpuid);
    formatText(s.cpuVendor, sizeof s.cpuVendor, "%.12s", cpuid.vendor);
    std::uint32_t megahertz = 0;
    platform::readProcessorInfo(s.cpuName, 50,
                                &megahertz); // a 50-byte name, as the registry gives it
    s.cpuMhz = static_cast<float>(megahertz);
    s.totalMemory = platform::physicalMemory();
}
