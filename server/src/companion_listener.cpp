#include "companion_listener.hpp"

#include "server_clock.hpp"
#include "server_log.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char Greeting[] = "Vigilon companion server ready";
constexpr int Backlog = 1024;
constexpr int EventsPerWait = 256;
constexpr int WaitMilliseconds = 100;
constexpr std::size_t RefusedLinesPerMinute = 10;

std::string peerAddress(const sockaddr_storage& peer) {
    char text[INET6_ADDRSTRLEN] = "";
    if (peer.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(peer).sin_addr, text, sizeof text);
    } else if (peer.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr, text,
                  sizeof text);
    }
    return text;
}

IpAddress peerIp(const sockaddr_storage& peer) {
    if (peer.ss_family == AF_INET6) {
        std::uint8_t bytes[16];
        std::memcpy(bytes, &reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr, sizeof bytes);
        return ipv6Address(bytes);
    }
    std::uint8_t bytes[4];
    std::memcpy(bytes, &reinterpret_cast<const sockaddr_in&>(peer).sin_addr, sizeof bytes);
    return ipv4Address(bytes);
}

int boundPort(int fd) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    if (local.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6&>(local).sin6_port);
    }
    return ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port);
}

int listenOn(const addrinfo& info, std::string& error) {
    int fd = socket(info.ai_family, info.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int on = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, info.ai_addr, info.ai_addrlen) != 0 || listen(fd, Backlog) != 0) {
        error = std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

void watch(int epoll, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

} // namespace

CompanionListener::CompanionListener(Hub& hub, ListenerLimits limits)
    : hub_(hub), limits_(std::move(limits)), openPerAddress_(limits_.perAddress),
      refusedLog_(RefusedLinesPerMinute, 60.0) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    watch(epoll_, wake_);
}

CompanionListener::~CompanionListener() {
    for (auto& entry : connections_) {
        close(entry.first);
    }
    closeListener();
    close(wake_);
    close(epoll_);
}

bool CompanionListener::bind(const std::string& address, int port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        error = "not a numeric address: " + address;
        return false;
    }
    listener_ = listenOn(*found, error);
    freeaddrinfo(found);
    if (listener_ < 0) {
        return false;
    }
    port_ = boundPort(listener_);
    watch(epoll_, listener_);
    return true;
}

void CompanionListener::stop() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wake_, &one, sizeof one);
}

void CompanionListener::closeListener() {
    if (listener_ >= 0) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, listener_, nullptr);
        close(listener_);
        listener_ = -1;
    }
}

void CompanionListener::run() {
    epoll_event events[EventsPerWait];
    bool stopping = false;
    Clock::time_point drainUntil{};
    Clock::time_point lastSweep = Clock::now();
    while (!stopping || (!connections_.empty() && Clock::now() < drainUntil)) {
        int count = epoll_wait(epoll_, events, EventsPerWait, WaitMilliseconds);
        for (int i = 0; i < count; ++i) {
            int fd = events[i].data.fd;
            if (fd == wake_) {
                stopping = true;
                drainUntil = Clock::now() + limits_.drainOnStop;
                closeListener();
            } else if (fd == listener_) {
                acceptAll();
            } else if (auto found = connections_.find(fd); found != connections_.end()) {
                readFrom(*found->second);
            }
        }
        Clock::time_point now = Clock::now();
        if (now - lastSweep >= std::chrono::milliseconds(WaitMilliseconds)) {
            sweep(now);
            lastSweep = now;
        }
    }
    while (!connections_.empty()) {
        drop(connections_.begin()->first);
    }
}

void CompanionListener::acceptAll() {
    while (true) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return; // EAGAIN, or a peer that left before it was accepted
        }
        std::string address = peerAddress(peer);
        if (!limits_.allowed.allows(peerIp(peer))) {
            refuse(fd, address, "not in --allow");
            continue;
        }
        if (connections_.size() >= limits_.maxConnections) {
            refuse(fd, address, "the server holds all the connections it takes");
            continue;
        }
        if (!openPerAddress_.add(address)) {
            refuse(fd, address,
                   "its address holds " + std::to_string(limits_.perAddress) + " open");
            continue;
        }
        // A monitor sending its final record does not read the greeting and
        // may already be gone; its message is still in our receive queue.
        send(fd, Greeting, sizeof Greeting - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->address = std::move(address);
        connection->deadline = Clock::now() + limits_.perConnection;
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = fd;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
        connections_.emplace(fd, std::move(connection));
    }
}

void CompanionListener::readFrom(Connection& c) {
    while (c.size < c.buffer.size()) {
        ssize_t count = recv(c.fd, c.buffer.data() + c.size, c.buffer.size() - c.size, 0);
        if (count > 0) {
            c.size += static_cast<std::size_t>(count);
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // Closed or reset: what arrived is all there will be.
            if (c.size > 0) {
                complete(c, true);
            } else {
                drop(c.fd);
            }
            return;
        }
    }
    complete(c, false);
}

// The whole message is in: hand it over, answer unless it needs none, close.
void CompanionListener::complete(Connection& c, bool peerGone) {
    HubReply answer =
        hub_.handleMessage(c.address, std::string_view(c.buffer.data(), c.size), currentTime());
    if (answer.reply && !peerGone) {
        unsigned char byte = *answer.reply;
        if (send(c.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) {
            hub_.replySent(answer.machineId, byte, currentTime());
        }
    }
    drop(c.fd);
}

void CompanionListener::refuse(int fd, const std::string& address, const std::string& why) {
    hub_.counters().refused++;
    close(fd);
    if (auto line = refusedLog_.line(address, currentTime(),
                                     "refused a connection from " + address + ": " + why)) {
        logLine(*line);
    }
}

void CompanionListener::drop(int fd) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
    auto found = connections_.find(fd);
    if (found != connections_.end()) {
        openPerAddress_.remove(found->second->address);
        connections_.erase(found);
    }
}

void CompanionListener::sweep(Clock::time_point now) {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->second->deadline <= now) {
            hub_.counters().timedOut++;
            int fd = it->first;
            ++it;
            drop(fd);
        } else {
            ++it;
        }
    }
}
