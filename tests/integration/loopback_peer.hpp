// The tests' own side of a loopback connection: a listener on 127.0.0.1 with
// an ephemeral port and the connections it accepts, written with the plain
// socket calls of the platform (not with the backend under test). Every wait
// has a time limit, so a peer thread always ends.
#pragma once

#include <cstdint>
#include <string>

namespace loopback {

class Peer {
public:
    Peer() = default;
    explicit Peer(std::intptr_t socket) : socket_(socket) {}
    Peer(Peer&& other) noexcept;
    Peer& operator=(Peer&& other) noexcept;
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    ~Peer();

    bool valid() const { return socket_ != -1; }

    bool sendAll(const std::string& bytes);

    // One receive of at most size bytes; empty on close, failure or time-out.
    std::string receiveSome(std::size_t size, int timeoutMilliseconds);

    // Receives until size bytes, the peer's close, or the time limit.
    std::string receiveExactly(std::size_t size, int timeoutMilliseconds);

    // Receives until the text holds marker, the peer's close, or the limit.
    std::string receiveUntil(const std::string& marker, int timeoutMilliseconds);

    // Waits until the other side closes (or the limit passes).
    void awaitClose(int timeoutMilliseconds);

    void close();

private:
    std::intptr_t socket_ = -1;
};

class Listener {
public:
    explicit Listener(int backlog = 8);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t port() const { return port_; }

    // The next connection, or an invalid peer when none came in time.
    Peer accept(int timeoutMilliseconds);

private:
    std::intptr_t socket_ = -1;
    std::uint16_t port_ = 0;
};

// A port on 127.0.0.1 on which nothing listens.
std::uint16_t unusedPort();

// Keeps proxy settings of the environment (http_proxy and its kin) away
// from requests to the loopback peers.
void bypassProxies();

// Milliseconds on a steady clock, for measuring how long a step took.
long long steadyMilliseconds();

} // namespace loopback
