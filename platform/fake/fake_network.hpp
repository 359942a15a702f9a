// Scriptable, recording sockets, HTTP requests and service commands for the
// unit tests. Each test scripts what the calls return and then reads back
// every call made and every byte sent.
#pragma once

#include "platform/service.hpp"
#include "platform/tcp.hpp"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace fake {

struct ScriptedReceive {
    int error = 0;     // non-zero: the receive fails with this number
    std::string bytes; // what arrives; empty: the peer closed the connection
};

struct HttpRequestSeen {
    std::string url;
    std::string userAgent;
    bool secure = false;
    int connectTimeoutMilliseconds = 0;
    int totalTimeoutMilliseconds = 0;
};

struct ServiceCommandSeen {
    platform::ServiceAction action = platform::ServiceAction::Stop;
    std::string name;
    int timeoutMilliseconds = 0;
    long long sleptBefore = 0; // the fake clock's slept milliseconds at the call
};

// WSAECONNREFUSED, WSAETIMEDOUT, WSAEINTR.
inline constexpr int ConnectionRefused = 10061;
inline constexpr int TimedOut = 10060;
inline constexpr int Interrupted = 10004;

struct Network {
    // Sockets. Each creation takes the next error (0 or none left: success).
    std::deque<int> createErrors;
    int startError = 0; // returned by startSocketLibrary
    // Returned by connectTcp. Nothing listens until a test says so, so code
    // that does not script a server sees every connection refused.
    int connectError = ConnectionRefused;
    // Each receive takes the next entry; none left: the peer closed.
    std::deque<ScriptedReceive> receives;
    // The next receives this many find nothing arriving: each waits out its
    // time limit (fake::waitOut) and fails, timed out or interrupted.
    int stalledReceives = 0;
    // Each send takes the next entry: the most bytes it accepts, or a
    // negative value to fail with sendError. None left: all are accepted.
    std::deque<int> sendLimits;
    int sendError = 0;

    // HTTP. A failing send gives sendGetError; otherwise the headers, then
    // the body pieces, one per call; bodyFailsAt names a piece that fails
    // with bodyError instead.
    bool sendGetFails = false;
    int sendGetError = 0;
    std::string responseHeaders = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    std::vector<std::string> bodyPieces;
    std::function<void()> onSendGet; // runs as each request is sent
    int bodyFailsAt = -1;
    int bodyError = 0;

    // Service commands return this.
    int serviceResult = 0;

    // What happened.
    platform::SocketHandle nextSocket = 3; // the handle the next socket gets
    std::vector<std::string> calls;        // one line per socket call
    std::string sent;                      // every byte sent, in order
    int openSockets = 0;
    int runningLibraries = 0;
    std::vector<HttpRequestSeen> httpRequests;
    int openTransfers = 0;
    std::vector<ServiceCommandSeen> serviceCommands;
};

// The one fake network; resetNetwork() gives a fresh one.
Network& network();
void resetNetwork();

// Makes connections succeed from now on (a companion server listens).
void acceptConnections();

// Queues a receive of bytes (a std::string may hold zero bytes).
void queueReceive(const std::string& bytes);
void queueReceiveError(int error);

// Number of socket calls that begin with prefix.
int countNetworkCalls(const std::string& prefix);

} // namespace fake
