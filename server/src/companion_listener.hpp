// The companion side: accepts monitors on TCP, greets each, reads its
// 2048-byte message, answers with one command byte and closes. One thread
// serves every connection through epoll; each connection has a time limit
// and a fixed buffer, so no peer can hold another. Peers outside the allowed
// ranges, and connections over the limits (in all, and per source address),
// are closed at once and counted as refused.
#pragma once

#include "hub.hpp"
#include "source_limits.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

struct ListenerLimits {
    std::chrono::milliseconds perConnection{10000}; // the monitor's own step limit
    std::chrono::milliseconds drainOnStop{2000};
    std::size_t maxConnections = 4096;
    std::size_t perAddress = 64; // open connections per source address
    AllowList allowed;           // empty: anyone
};

class CompanionListener {
public:
    CompanionListener(Hub& hub, ListenerLimits limits = {});
    ~CompanionListener();
    CompanionListener(const CompanionListener&) = delete;
    CompanionListener& operator=(const CompanionListener&) = delete;

    bool bind(const std::string& address, int port, std::string& error);
    int port() const { return port_; }
    // Serves until stop(); then lets open connections finish within the
    // drain limit and closes the rest.
    void run();
    // Safe from any thread.
    void stop();

private:
    using Clock = std::chrono::steady_clock;
    struct Connection {
        int fd = -1;
        std::string address;
        std::array<char, companion::MessageSize> buffer{};
        std::size_t size = 0;
        Clock::time_point deadline;
    };

    void acceptAll();
    void readFrom(Connection& c);
    void complete(Connection& c, bool peerGone);
    void drop(int fd);
    void sweep(Clock::time_point now);
    void closeListener();
    void refuse(int fd, const std::string& address, const std::string& why);

    Hub& hub_;
    ListenerLimits limits_;
    int listener_ = -1;
    int epoll_ = -1;
    int wake_ = -1;
    int port_ = 0;
    std::unordered_map<int, std::unique_ptr<Connection>> connections_;
    AddressCounts openPerAddress_;
    LogThrottle refusedLog_;
};
