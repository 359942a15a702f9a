// Today's client's API: the messages of one connection (the whole state,
// then changes, pings and anything else a peer may send), followed as the
// monitor follows them: the state and its changes applied, the unit chosen,
// its fields shown, and a unit change with everything it sets off.
// Pieces: the messages, in order; the last one is the protein database.
#include "fuzz_input.hpp"
#include "monitor/client_api/api_source.hpp"
#include "monitor/protein_database.hpp"
#include "platform/fake/fake_client_api.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::freshRun();
    fake::resetClientApi();
    std::vector<std::string> piece = fuzz::pieces(data, size, 2);
    fuzz::writeFile(ProteinDatabaseFileName, piece.back());
    fake::ClientApi& api = fake::clientApi();
    api.listening = true;
    api.onOpen.assign(piece.begin(), piece.end() - 1);
    MonitorState state;
    state.logEnabled = 1;
    state.statsSiteEnabled = 1;
    startClientApi(state, DefaultClientApiHost, DefaultClientApiPort, 500);
    state.firstRun = 0;
    for (int update = 0; update < 2; ++update) {
        pollClientApi(state);
    }
    fuzz::require(state.progressPercent >= 0 && state.progressPercent <= 100, "percent in range");
    fuzz::requireTerminatedText(state);
    for (const fake::HttpRequestSeen& request : fake::network().httpRequests) {
        fuzz::requireCleanUrl(request.url);
    }
    stopClientApi(state);
    return 0;
}
