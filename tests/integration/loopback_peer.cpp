#include "loopback_peer.hpp"

#include <algorithm>
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

// A send into a connection the other side has closed fails; on Linux it
// would raise SIGPIPE and end the test program instead.
#if defined(MSG_NOSIGNAL)
constexpr int NoSignal = MSG_NOSIGNAL;
#else
constexpr int NoSignal = 0;
#endif

Native native(std::intptr_t socket) {
    return static_cast<Native>(socket);
}

// True when the socket becomes readable within the limit.
bool readable(Native socket, long long timeoutMilliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{};
    timeoutMilliseconds = std::max(timeoutMilliseconds, 0LL);
    limit.tv_sec = static_cast<long>(timeoutMilliseconds / 1000);
    limit.tv_usec = static_cast<long>(timeoutMilliseconds % 1000 * 1000);
    return select(static_cast<int>(socket) + 1, &set, nullptr, nullptr, &limit) > 0;
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

bool underWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

bool Peer::sendAll(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        int count = ::send(native(socket_), bytes.data() + done,
                           static_cast<int>(bytes.size() - done), NoSignal);
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

std::string Peer::receive(int timeoutMilliseconds, std::size_t size, const std::string& marker) {
    const long long deadline = steadyMilliseconds() + timeoutMilliseconds;
    std::string bytes;
    char piece[4096];
    while (valid() && bytes.size() < size &&
           (marker.empty() || bytes.find(marker) == std::string::npos) &&
           readable(native(socket_), deadline - steadyMilliseconds())) {
        int count = ::recv(native(socket_), piece,
                           static_cast<int>(std::min(sizeof piece, size - bytes.size())), 0);
        if (count <= 0) {
            break;
        }
        bytes.append(piece, static_cast<std::size_t>(count));
    }
    return bytes;
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
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s == NoNative) {
        return;
    }
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
    return Peer(s == NoNative ? -1 : static_cast<std::intptr_t>(s));
}

std::uint16_t unusedPort() {
    Listener probe(1);
    return probe.port(); // closed again at once: nothing listens there now
}

} // namespace loopback
