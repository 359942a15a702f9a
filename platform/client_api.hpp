// Today's Folding@home client publishes its state on a local WebSocket API
// (ws://HOST:PORT/api/websocket). The backend makes the connection, the
// handshake and the framing; the core only sees whole text messages.
//
// Input is read within waitForClientApi (the idle loop's sleep) once a good
// deal of it has come, and by receiveClientApi whenever the core asks, and
// queued in the backend: the client's traffic never piles up, a change that
// trickles in costs no wake-up of its own, and an idle pass with nothing
// arriving costs no extra system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The backend's record of one open connection; opaque to the core.
struct ClientApiConnection;

// The largest message taken; a larger one breaks the connection.
inline constexpr std::size_t ClientApiMessageLimit = 1u << 20;

// Connects to a dotted IPv4 address and port and completes the WebSocket
// handshake for path (GET path, no Origin header), all within
// timeoutMilliseconds; a stop request cuts the wait short. Returns null when
// any step fails (refused, no answer in time, not a WebSocket server).
ClientApiConnection* openClientApi(const char* dottedAddress, std::uint16_t port, const char* path,
                                   int timeoutMilliseconds);

enum class ClientApiRead {
    Nothing, // no whole message is waiting
    Message, // message holds the next whole text message
    Closed,  // the connection is lost, was closed by the peer, or broke the
             // protocol (a message over the limit, a bad frame); once Closed,
             // it stays Closed and the caller closes it
};

// The most input that may wait in the socket before waitForClientApi wakes
// to read it.
inline constexpr int ClientApiWakeBytes = 16384;

// Reads what has arrived, without waiting.
void receiveClientApi(ClientApiConnection* connection);

// Takes the next whole text message that has been read, without waiting and
// without a system call. Binary messages are dropped; ping frames are
// answered by the backend.
ClientApiRead takeClientApiMessage(ClientApiConnection* connection, std::string& message);

// Sends one text message (a command). False when it cannot be sent.
bool sendClientApiMessage(ClientApiConnection* connection, const std::string& message);

// Sleeps for milliseconds like sleepMilliseconds (a stop request ends it
// early), reading the connection's input when ClientApiWakeBytes or more
// have come, or the connection ends. With a null connection it is
// sleepMilliseconds.
void waitForClientApi(ClientApiConnection* connection, int milliseconds);

// Closes the connection (a close frame when it is still open, without
// waiting for the answer) and releases it; null is ignored.
void closeClientApi(ClientApiConnection* connection);

} // namespace platform
