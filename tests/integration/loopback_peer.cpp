#include "loopback_peer.hpp"

#include <chrono>
#include <cstdlib>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace loopback {
namespace {

#if defined(_WIN32)
using Native = SOCKET;
constexpr Native NoNative = INVALID_SOCKET;

// Winsock must be started before the tests' own sockets; it stays started.
void startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

void closeNative(Native socket) {
    closesocket(socket);
}
#else
using Native = int;
constexpr Native NoNative = -1;

void startSockets() {}

void closeNative(Native socket) {
    ::close(socket);
}
#endif

Native native(std::intptr_t socket) {
    return static_cast<Native>(socket);
}

// True when the socket becomes readable within the limit.
bool readable(Native socket, int timeoutMilliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{};
    limit.tv_sec = timeoutMilliseconds / 1000;
    limit.tv_usec = (timeoutMilliseconds % 1000) * 1000;
    return select(static_cast<int>(socket) + 1, &set, nullptr, nullptr, &limit) > 0;
}

sockaddr_in loopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

void bypassProxies() {
#if !defined(_WIN32) // WinHTTP takes its proxy from the system settings, not the environment
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        unsetenv(name);
    }
#endif
}

long long steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Peer::Peer(Peer&& other) noexcept : socket_(other.socket_) {
    other.socket_ = -1;
}

Peer& Peer::operator=(Peer&& other) noexcept {
    if (this != &other) {
        close();
        socket_ = other.socket_;
        other.socket_ = -1;
    }
    return *this;
}

Peer::~Peer() {
    close();
}

bool Peer::sendAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        int count =
            ::send(native(socket_), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

std::string Peer::receiveSome(std::size_t size, int timeoutMilliseconds) {
    if (!valid() || !readable(native(socket_), timeoutMilliseconds)) {
        return {};
    }
    std::string bytes(size, '\0');
    int count = ::recv(native(socket_), &bytes[0], static_cast<int>(size), 0);
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return bytes;
}

std::string Peer::receiveExactly(std::size_t size, int timeoutMilliseconds) {
    long long deadline = steadyMilliseconds() + timeoutMilliseconds;
    std::string bytes;
    while (bytes.size() < size) {
        long long left = deadline - steadyMilliseconds();
        std::string piece = receiveSome(size - bytes.size(), left > 0 ? static_cast<int>(left) : 0);
        if (piece.empty()) {
            break;
        }
        bytes += piece;
    }
    return bytes;
}

std::string Peer::receiveUntil(const std::string& marker, int timeoutMilliseconds) {
    long long deadline = steadyMilliseconds() + timeoutMilliseconds;
    std::string bytes;
    while (bytes.find(marker) == std::string::npos) {
        long long left = deadline - steadyMilliseconds();
        std::string piece = receiveSome(4096, left > 0 ? static_cast<int>(left) : 0);
        if (piece.empty()) {
            break;
        }
        bytes += piece;
    }
    return bytes;
}

void Peer::awaitClose(int timeoutMilliseconds) {
    long long deadline = steadyMilliseconds() + timeoutMilliseconds;
    for (;;) {
        long long left = deadline - steadyMilliseconds();
        if (left <= 0 || receiveSome(4096, static_cast<int>(left)).empty()) {
            return;
        }
    }
}

void Peer::close() {
    if (valid()) {
        closeNative(native(socket_));
        socket_ = -1;
    }
}

Listener::Listener(int backlog) {
    startSockets();
    Native s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == NoNative) {
        return;
    }
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, backlog) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeNative(s);
        return;
    }
    socket_ = static_cast<std::intptr_t>(s);
    port_ = ntohs(address.sin_port);
}

Listener::~Listener() {
    if (socket_ != -1) {
        closeNative(native(socket_));
    }
}

Peer Listener::accept(int timeoutMilliseconds) {
    if (socket_ == -1 || !readable(native(socket_), timeoutMilliseconds)) {
        return Peer();
    }
    Native s = ::accept(native(socket_), nullptr, nullptr);
    return s == NoNative ? Peer() : Peer(static_cast<std::intptr_t>(s));
}

std::uint16_t unusedPort() {
    Listener probe(1);
    return probe.port(); // closed again at once: nothing listens there now
}

} // namespace loopback
