// Server-Sent Events for the dashboard: a snapshot of the machines whenever
// something changed (at most four a second), and at least every five seconds
// so online states and estimates stay fresh.
#pragma once

#include "hub.hpp"

#include <atomic>
#include <cstddef>
#include <string>

namespace httplib {
struct Response;
}

class EventStream {
public:
    EventStream(Hub& hub, std::size_t maxClients) : hub_(hub), maxClients_(maxClients) {}

    // Starts a stream on the response; false when too many are open.
    bool attach(httplib::Response& response);
    // Ends every stream at its next wake-up (within a second).
    void stop();

    // The text of one event carrying the current snapshot.
    std::string snapshotEvent();

private:
    Hub& hub_;
    std::size_t maxClients_;
    std::atomic<std::size_t> clients_{0};
    std::atomic<bool> stopping_{false};
};
