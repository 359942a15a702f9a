// The client's configuration "../client.cfg": machine id, user name and team,
// and the statistics URL that carries them.
#include "fuzz_input.hpp"
#include "monitor/client_config.hpp"
#include "monitor/report/stats_site.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::freshRun();
    fuzz::writeFile("../client.cfg", std::string(data, data + size));
    MonitorState state;
    readClientConfig(state);
    fuzz::requireTerminatedText(state);
    submitUnitStats(state, state.coreName);
    fuzz::requireCleanUrl(state.statsUrl);
    return 0;
}
