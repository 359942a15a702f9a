// The server's side of a WebSocket connection on 127.0.0.1, for the tests of
// the client API backends: in a thread of its own it accepts one connection,
// keeps its upgrade request, answers it, and sends and reads frames byte for
// byte as RFC 6455 lays them out. Written over loopback::Peer alone, so it
// runs wherever that does (POSIX sockets, and Winsock under Wine). Below it,
// the client's side through the backend under test. Every wait has a limit.
#pragma once

#include "loopback_peer.hpp"
#include "platform/client_api.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace loopback {

// How long either side waits for the other.
inline constexpr int Patience = 5000;

enum class Opcode : std::uint8_t { Continuation, Text, Binary, Close = 0x8, Ping, Pong };

// One frame as a server sends it: unmasked, its length in the shortest of
// the three forms (7 bits, 16 bits after 126, 64 bits after 127).
std::string encodeFrame(Opcode opcode, std::string_view payload, bool fin = true);

class WebSocketPeer {
public:
    // Starts the thread: it reads the request, answers it with the right key
    // unless told not to, then runs the script.
    explicit WebSocketPeer(std::function<void(WebSocketPeer&)> script = {}, bool answer = true);
    ~WebSocketPeer() { join(); }
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    // The listening port on 127.0.0.1; 0 if listening failed.
    std::uint16_t port() const { return listener_.port(); }
    // The request head as received, up to its blank line.
    const std::string& request() const { return request_; }
    // The trimmed value of the first header of that name (any case).
    std::optional<std::string> header(const std::string& name) const;
    // The whole 101 answer head with this Sec-WebSocket-Accept value.
    static std::string upgradeAnswer(const std::string& acceptValue);
    // The one that answers the request.
    std::string rightAnswer() const;

    bool sendRaw(const std::string& bytes) { return peer_ && peer_->sendAll(bytes); }
    bool sendFrame(Opcode opcode, std::string_view payload, bool fin = true) {
        return sendRaw(encodeFrame(opcode, payload, fin));
    }
    bool sendText(std::string_view message) { return sendFrame(Opcode::Text, message); }
    // The payload of the client's next frame if it is a whole masked frame
    // of this kind, else "(none)".
    std::string next(Opcode opcode, int timeoutMilliseconds = Patience);
    // Cuts the TCP connection without a close frame.
    void close() { peer_->close(); }

private:
    bool receiveExactly(std::string& bytes, std::size_t size, long long deadline);

    Listener listener_;
    std::unique_ptr<Peer> peer_;
    std::string request_;
    std::thread thread_;
};

struct ApiCloser {
    void operator()(platform::ClientApiConnection* c) const { platform::closeClientApi(c); }
};
using ApiConnection = std::unique_ptr<platform::ClientApiConnection, ApiCloser>;

// The client's side: openClientApi to 127.0.0.1.
ApiConnection openApi(std::uint16_t port, int limit = Patience,
                      const char* path = "/api/websocket");

// Takes messages until count have come, the connection reads Closed, or
// the patience is up.
std::vector<std::string> receive(platform::ClientApiConnection* c, std::size_t count = SIZE_MAX);

} // namespace loopback
