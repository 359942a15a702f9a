// POSIX sockets. They need no library start, so the start and stop succeed
// without doing anything and the "not started" error never occurs.
#include "platform/tcp.hpp"

#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"

#include <algorithm>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // where it is missing, SO_NOSIGPIPE is set on the socket instead
#endif

namespace platform {
namespace {

int descriptorOf(SocketHandle socket) {
    return static_cast<int>(socket);
}

// Waits until the socket is ready for events, in slices with the wait hook
// between them, so that the window is served and a stop request ends the
// wait; 0, or the error number (ETIMEDOUT when the time ran out, EINTR on a
// stop request).
int waitReady(int fd, short events, int timeoutMilliseconds) {
    const long long deadline = posix::monotonicMilliseconds() + std::max(timeoutMilliseconds, 0);
    for (;;) {
        long long left = std::max(deadline - posix::monotonicMilliseconds(), 0LL);
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1,
                         static_cast<int>(std::min<long long>(left, posix::WaitSliceMilliseconds)));
        if (ready > 0) {
            return 0;
        }
        if (ready < 0 && errno != EINTR) {
            return errno;
        }
        serviceWaitHook();
        if (stopRequested()) {
            return EINTR;
        }
        if (left == 0) {
            return ETIMEDOUT;
        }
    }
}

} // namespace

int startSocketLibrary(std::uint16_t) {
    return 0;
}

void stopSocketLibrary() {}

SocketHandle createTcpSocket(int& error) {
    int fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0) {
        error = errno;
        return NoSocket;
    }
#ifdef SO_NOSIGPIPE
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return fd;
}

int connectTcp(SocketHandle socket, const char* dottedAddress, std::uint16_t port,
               int timeoutMilliseconds) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (dottedAddress == nullptr || inet_aton(dottedAddress, &peer.sin_addr) == 0) {
        return EINVAL; // not a dotted IPv4 address; names are never looked up
    }
    int fd = descriptorOf(socket);
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        return errno;
    }
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            error = waitReady(fd, POLLOUT, timeoutMilliseconds);
            socklen_t length = sizeof error;
            if (error == 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
    }
    if (fcntl(fd, F_SETFL, flags) < 0 && error == 0) {
        error = errno;
    }
    return error;
}

int sendSome(SocketHandle socket, const char* data, int length, int timeoutMilliseconds,
             int& error) {
    int fd = descriptorOf(socket);
    if (int waitError = waitReady(fd, POLLOUT, timeoutMilliseconds); waitError != 0) {
        error = waitError;
        return -1;
    }
    ssize_t count = ::send(fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (count < 0) {
        error = errno;
        return -1;
    }
    return static_cast<int>(count);
}

int receiveSome(SocketHandle socket, char* buffer, int size, int timeoutMilliseconds, int& error) {
    int fd = descriptorOf(socket);
    if (int waitError = waitReady(fd, POLLIN, timeoutMilliseconds); waitError != 0) {
        error = waitError;
        return -1;
    }
    ssize_t count = ::recv(fd, buffer, static_cast<std::size_t>(size), MSG_DONTWAIT);
    if (count < 0) {
        error = errno;
        return -1;
    }
    return static_cast<int>(count);
}

void closeSocket(SocketHandle socket) {
    ::close(descriptorOf(socket));
}

} // namespace platform
