#include "platform/fake/fake_network.hpp"

#include "platform/fake/fake_platform.hpp"
#include "platform/http.hpp"
#include "platform/service.hpp"
#include "platform/tcp.hpp"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

void record(const std::string& call) {
    network().calls.push_back(call);
}

} // namespace

Network& network() {
    static Network shared;
    return shared;
}

void resetNetwork() {
    network() = Network{};
}

void acceptConnections() {
    network().connectError = 0;
}

void queueReceive(const std::string& bytes) {
    network().receives.push_back({0, bytes});
}

void queueReceiveError(int error) {
    network().receives.push_back({error, {}});
}

int countNetworkCalls(const std::string& prefix) {
    const std::vector<std::string>& calls = network().calls;
    return static_cast<int>(std::count_if(
        calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

} // namespace fake

struct platform::HttpTransfer {
    std::size_t nextPiece = 0;
    std::string piece;
};

namespace platform {

int startSocketLibrary(std::uint16_t version) {
    fake::Network& n = fake::network();
    fake::record("startSocketLibrary " + std::to_string(version));
    if (n.startError == 0) {
        ++n.runningLibraries;
    }
    return n.startError;
}

void stopSocketLibrary() {
    fake::record("stopSocketLibrary");
    --fake::network().runningLibraries;
}

SocketHandle createTcpSocket(int& error) {
    fake::Network& n = fake::network();
    fake::record("createTcpSocket");
    error = 0;
    if (!n.createErrors.empty()) {
        error = n.createErrors.front();
        n.createErrors.pop_front();
    }
    if (error != 0) {
        return NoSocket;
    }
    ++n.openSockets;
    return n.nextSocket++;
}

int connectTcp(SocketHandle socket, const char* dottedAddress, std::uint16_t port,
               int timeoutMilliseconds) {
    fake::record("connectTcp " + std::to_string(socket) + " " + dottedAddress + ":" +
                 std::to_string(port) + " " + std::to_string(timeoutMilliseconds));
    return fake::network().connectError;
}

int sendSome(SocketHandle socket, const char* data, int length, int timeoutMilliseconds,
             int& error) {
    fake::Network& n = fake::network();
    fake::record("sendSome " + std::to_string(socket) + " " + std::to_string(length) + " " +
                 std::to_string(timeoutMilliseconds));
    int count = length;
    if (!n.sendLimits.empty()) {
        int limit = n.sendLimits.front();
        n.sendLimits.pop_front();
        if (limit < 0) {
            error = n.sendError;
            return -1;
        }
        count = std::min(count, limit);
    }
    n.sent.append(data, static_cast<std::size_t>(count));
    return count;
}

int receiveSome(SocketHandle socket, char* buffer, int size, int timeoutMilliseconds, int& error) {
    fake::Network& n = fake::network();
    fake::record("receiveSome " + std::to_string(socket) + " " + std::to_string(size) + " " +
                 std::to_string(timeoutMilliseconds));
    if (n.stalledReceives > 0) {
        --n.stalledReceives;
        error = fake::waitOut(timeoutMilliseconds) ? fake::Interrupted : fake::TimedOut;
        return -1;
    }
    if (n.receives.empty()) {
        return 0;
    }
    fake::ScriptedReceive next = n.receives.front();
    n.receives.pop_front();
    if (next.error != 0) {
        error = next.error;
        return -1;
    }
    std::size_t count = std::min(next.bytes.size(), static_cast<std::size_t>(size));
    std::memcpy(buffer, next.bytes.data(), count);
    return static_cast<int>(count);
}

void closeSocket(SocketHandle socket) {
    fake::record("closeSocket " + std::to_string(socket));
    --fake::network().openSockets;
}

HttpTransfer* httpSendGet(const HttpGet& request, int& error) {
    fake::Network& n = fake::network();
    n.httpRequests.push_back({request.url, request.userAgent, request.secure,
                              request.connectTimeoutMilliseconds,
                              request.totalTimeoutMilliseconds});
    if (n.onSendGet) {
        n.onSendGet();
    }
    if (n.sendGetFails) {
        error = n.sendGetError;
        return nullptr;
    }
    ++n.openTransfers;
    return new HttpTransfer;
}

const char* httpResponseHeaders(const HttpTransfer*) {
    return fake::network().responseHeaders.c_str();
}

bool httpNextBodyPiece(HttpTransfer* transfer, const char*& data, std::size_t& size, int& error) {
    fake::Network& n = fake::network();
    std::size_t index = transfer->nextPiece++;
    if (n.bodyFailsAt >= 0 && index == static_cast<std::size_t>(n.bodyFailsAt)) {
        error = n.bodyError;
        return false;
    }
    transfer->piece = index < n.bodyPieces.size() ? n.bodyPieces[index] : std::string();
    data = transfer->piece.data();
    size = transfer->piece.size();
    return true;
}

void httpClose(HttpTransfer* transfer) {
    if (transfer != nullptr) {
        --fake::network().openTransfers;
    }
    delete transfer;
}

int runServiceCommand(ServiceAction action, const char* serviceName, int timeoutMilliseconds) {
    fake::Network& n = fake::network();
    n.serviceCommands.push_back(
        {action, serviceName, timeoutMilliseconds, fake::platform().sleptMilliseconds});
    return n.serviceResult;
}

} // namespace platform
