// The statistics site's answer: its raw response headers (a 404 status keeps
// the answer file away) and its body pieces, with the processor name of the
// host facts in the URL. Pieces: the headers, the processor name, then the
// body pieces (an empty one ends the body).
#include "fuzz_input.hpp"
#include "monitor/report/http_download.hpp"
#include "monitor/report/stats_site.hpp"
#include "monitor/system_identity.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::freshRun();
    std::vector<std::string> piece = fuzz::pieces(data, size, 2);
    fake::Network& site = fake::network();
    site.responseHeaders = piece[0];
    site.bodyPieces.assign(piece.begin() + 2, piece.end());
    fake::platform().processorName = piece[1];
    MonitorState state;
    identifySystem(state);
    int result = submitUnitStats(state, state.coreName);
    fuzz::require(site.httpRequests.size() == 1 && site.openTransfers == 0, "one request, closed");
    fuzz::requireCleanUrl(site.httpRequests[0].url);
    fuzz::requireTerminatedText(state);
    std::string body;
    for (auto p = site.bodyPieces.begin(); p != site.bodyPieces.end() && !p->empty(); ++p) {
        body += *p;
    }
    if (result == HttpNotFound) {
        fuzz::require(!std::filesystem::exists("Vantor.html"), "a 404 answer saves nothing");
    } else {
        fuzz::require(result == 0 && fuzz::readFile("Vantor.html") == body, "the body is saved");
    }
    return 0;
}
