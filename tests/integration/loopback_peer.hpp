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
    explicit Peer(std::intptr_t socket = -1) : socket_(socket) {}
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    ~Peer() { close(); }

    bool valid() const { return socket_ != -1; }
    bool sendAll(const std::string& bytes);

    // Receives until size bytes, the marker, the other side's close, or the
    // time limit, whichever comes first.
    std::string receive(int timeoutMilliseconds, std::size_t size = SIZE_MAX,
                        const std::string& marker = {});

    void close();

private:
    std::intptr_t socket_;
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

// True when the tests run under Wine, as the Windows builds do here.
bool underWine();

} // namespace loopback
