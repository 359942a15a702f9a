// Winsock 2. The library is started only when the core asks for it (after a
// socket creation reported WSANOTINITIALISED); errors are WSAGetLastError's.
#include "platform/tcp.hpp"

#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"
#include "platform/win32/wait_slices.hpp"

#include <algorithm>

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {
namespace {

SOCKET nativeOf(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

// Winsock reads a time limit of 0 as none at all, so the shortest is 1 ms.
DWORD limitOf(int timeoutMilliseconds) {
    return timeoutMilliseconds > 0 ? static_cast<DWORD>(timeoutMilliseconds) : 1;
}

void setTimeLimit(SOCKET s, int option, int timeoutMilliseconds) {
    DWORD limit = limitOf(timeoutMilliseconds);
    setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&limit), sizeof limit);
}

// Waits until the socket is ready (readable, or writable: a connect ended),
// in slices with the wait hook between them, so that the window is served
// and a stop request ends the wait; 0, WSAETIMEDOUT when the
// time ran out, WSAEINTR on a stop request, or the error number. failed
// tells whether the socket was reported in the exception set (a connect
// that failed).
int waitReady(SOCKET s, bool forWriting, int timeoutMilliseconds, bool& failed) {
    const ULONGLONG deadline = GetTickCount64() + limitOf(timeoutMilliseconds);
    for (;;) {
        ULONGLONG now = GetTickCount64();
        DWORD slice = static_cast<DWORD>(
            std::min<ULONGLONG>(now < deadline ? deadline - now : 0, win32::WaitSliceMilliseconds));
        fd_set ready;
        fd_set exceptions;
        FD_ZERO(&ready);
        FD_ZERO(&exceptions);
        FD_SET(s, &ready);
        FD_SET(s, &exceptions);
        timeval wait{0, static_cast<long>(slice) * 1000};
        int count = forWriting ? select(0, nullptr, &ready, &exceptions, &wait)
                               : select(0, &ready, nullptr, &exceptions, &wait);
        if (count == SOCKET_ERROR) {
            return WSAGetLastError();
        }
        if (count > 0) {
            failed = FD_ISSET(s, &exceptions) != 0;
            return 0;
        }
        serviceWaitHook();
        if (stopRequested()) {
            return WSAEINTR;
        }
        if (now >= deadline) {
            return WSAETIMEDOUT;
        }
    }
}

// Waits for a non-blocking connect to finish; 0 or the error number.
int awaitConnect(SOCKET s, int timeoutMilliseconds) {
    bool failed = false;
    if (int waitError = waitReady(s, true, timeoutMilliseconds, failed); waitError != 0) {
        return waitError;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
        SOCKET_ERROR) {
        return WSAGetLastError();
    }
    return error == 0 && failed ? WSAECONNREFUSED : error;
}

} // namespace

int startSocketLibrary(std::uint16_t version) {
    WSADATA data;
    return WSAStartup(version, &data); // the error itself, never 0 on failure
}

void stopSocketLibrary() {
    WSACleanup();
}

SocketHandle createTcpSocket(int& error) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return NoSocket;
    }
    return static_cast<SocketHandle>(s);
}

int connectTcp(SocketHandle socket, const char* dottedAddress, std::uint16_t port,
               int timeoutMilliseconds) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = dottedAddress != nullptr && dottedAddress[0] != '\0'
                               ? inet_addr(dottedAddress)
                               : INADDR_NONE;
    if (peer.sin_addr.s_addr == INADDR_NONE) {
        return WSAEINVAL; // not a dotted IPv4 address; names are never looked up
    }
    SOCKET s = nativeOf(socket);
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        return WSAGetLastError();
    }
    int error = 0;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            error = awaitConnect(s, timeoutMilliseconds);
        }
    }
    u_long blocking = 0;
    if (ioctlsocket(s, FIONBIO, &blocking) == SOCKET_ERROR && error == 0) {
        error = WSAGetLastError();
    }
    return error;
}

int sendSome(SocketHandle socket, const char* data, int length, int timeoutMilliseconds,
             int& error) {
    SOCKET s = nativeOf(socket);
    bool failed = false;
    if (int waitError = waitReady(s, true, timeoutMilliseconds, failed); waitError != 0) {
        error = waitError;
        return -1;
    }
    setTimeLimit(s, SO_SNDTIMEO, timeoutMilliseconds); // for what does not fit at once
    int count = ::send(s, data, length, 0);
    if (count == SOCKET_ERROR) {
        error = WSAGetLastError();
        return -1;
    }
    return count;
}

int receiveSome(SocketHandle socket, char* buffer, int size, int timeoutMilliseconds, int& error) {
    SOCKET s = nativeOf(socket);
    bool failed = false;
    if (int waitError = waitReady(s, false, timeoutMilliseconds, failed); waitError != 0) {
        error = waitError;
        return -1;
    }
    int count = ::recv(s, buffer, size, 0);
    if (count == SOCKET_ERROR) {
        error = WSAGetLastError();
        return -1;
    }
    return count;
}

void closeSocket(SocketHandle socket) {
    closesocket(nativeOf(socket));
}

} // namespace platform
