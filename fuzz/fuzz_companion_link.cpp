// The companion server's greeting and reply in one status exchange, with the
// command the reply carries (stop, tray toggle, service restart on the fake
// platform), then the final record. Pieces: the greeting, the reply, the
// service name; an odd second reply byte (which the monitor ignores) puts a
// status window on screen for the tray toggle.
#include "common/text.hpp"
#include "fuzz_input.hpp"
#include "monitor/report/companion_link.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int windowToken = 0;
    fuzz::freshRun();
    std::vector<std::string> piece = fuzz::pieces(data, size, 3);
    fake::acceptConnections();
    fake::queueReceive(piece[0]);
    fake::queueReceive(piece[1]);
    MonitorState state;
    copyText(state.serverAddress, "127.0.0.1");
    copyText(state.serviceName, piece[2].c_str());
    state.remoteControlEnabled = 1;
    if (piece[1].size() > 1 && (piece[1][1] & 1) != 0) {
        state.window = &windowToken;
    }
    fuzz::require(exchangeStatus(state) == 1, "the exchange takes place");
    sendFinalStatus(state);
    fuzz::require(fake::network().openSockets == 0, "every socket is closed");
    fuzz::require(fake::network().sent.size() == 2 * sizeof state.messageBuffer,
                  "two whole messages are sent");
    fuzz::requireTerminatedText(state);
    return 0;
}
