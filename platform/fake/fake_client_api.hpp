// A scripted client API for the unit tests: whether a connection opens, the
// messages each open connection delivers, and what the core sent.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace fake {

struct ClientApi {
    bool listening = false; // nothing listens until a test says so
    // Messages of the current connection, taken one by one; an entry that
    // is exactly "<closed>" ends the connection there.
    std::deque<std::string> messages;
    // Messages a new connection starts with (the client's whole state);
    // copied into messages at each open.
    std::vector<std::string> onOpen;
    int opens = 0;
    int closes = 0;
    bool open = false;
    std::vector<std::string> sent;
    std::string lastAddress; // "HOST:PORT/path" of the last open
};

ClientApi& clientApi();
void resetClientApi();

} // namespace fake
