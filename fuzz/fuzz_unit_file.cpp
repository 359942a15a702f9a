// The client's unit file "../unitinfo.txt", read twice as the client rewrites
// it, with everything a unit change sets off: the event log, the protein
// lookup, the statistics submission, the tooltip, then a status frame.
// Pieces: the first file, the second file, the protein database.
#include "fuzz_input.hpp"
#include "monitor/display/display.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/unit_tracker.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::freshRun();
    std::vector<std::string> piece = fuzz::pieces(data, size, 3);
    fuzz::writeFile(ProteinDatabaseFileName, piece[2]);
    MonitorState state;
    state.firstRun = 0;
    state.logEnabled = 1;
    state.statsSiteEnabled = 1;
    state.trayMode = 1;
    for (int pass = 0; pass < 2; ++pass) {
        fuzz::writeFile(UnitFilePath, piece[pass]);
        fuzz::require(pollUnitFile(state) == 1, "the unit file is read");
    }
    drawStatusFrame(state);
    fuzz::requireTerminatedText(state);
    for (const fake::HttpRequestSeen& request : fake::network().httpRequests) {
        fuzz::requireCleanUrl(request.url);
    }
    return 0;
}
