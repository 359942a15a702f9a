// One short TCP connection to the companion server.
#pragma once

#include <cstdint>

struct ServerConnection {
    const char* address = nullptr; // dotted IPv4 text
    std::uint16_t port = 0;        // host order
    std::intptr_t socket = -1;     // -1 when there is none
    int received = 0;              // byte count of the last receive
    int sent = 0;                  // bytes sent by the last sendAll
    int lastError = 0;             // first failure since open, else 0
    int ownsSocketLibrary = 0;     // open started the socket library
};
