// The client's WebSocket API over POSIX sockets. The connection is our own
// (tcp.hpp), so are the HTTP upgrade and its key check; wslay does the
// framing only, through callbacks that read and write the socket without
// blocking. Nothing runs in the background: input is read within
// waitForClientApi, whose wait is one poll on the socket instead of the
// sleep, and queued here until the core takes it.
#include "platform/client_api.hpp"

#include "common/sha1.hpp"
#include "platform/clock.hpp"
#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"
#include "platform/tcp.hpp"
#include "platform/wait_hook.hpp"

#include <wslay/wslay.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>

#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // where it is missing, createTcpSocket sets SO_NOSIGPIPE instead
#endif
#ifndef MSG_MORE
#define MSG_MORE 0
#endif

namespace platform {

struct ClientApiConnection {
    SocketHandle socket = NoSocket;
    wslay_event_context_ptr framing = nullptr;
    std::string early;          // bytes that came after the handshake's blank line
    std::size_t earlyTaken = 0; // how many of them wslay has had
    std::deque<std::string> messages;
    std::size_t queuedBytes = 0; // the size of messages, all together
    bool closed = false;         // lost, closed by the peer or broken: read no more
    bool drained = false;        // a read came back short: the socket is empty for now
};

namespace {

// While more than this waits undrained, the input stays in the socket.
constexpr std::size_t QueueBound = 4u << 20;
// The longest answer head to the upgrade request.
constexpr std::size_t AnswerHeadLimit = 16384;
// How long a command may wait for room in the socket.
constexpr int SendLimitMilliseconds = 2000;
// The longest poll of an idle tick's wait: a stop signal that lands just
// before the poll began is seen when the slice ends (as in sleepMilliseconds).
constexpr long long IdleSliceMilliseconds = 1000;

int descriptorOf(const ClientApiConnection* connection) {
    return static_cast<int>(connection->socket);
}

long long now() {
    return posix::monotonicMilliseconds();
}

bool fillRandom(unsigned char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t count = getrandom(bytes, size, 0);
        if (count < 0 && errno != EINTR) {
            return false;
        }
        if (count > 0) {
            bytes += count;
            size -= static_cast<std::size_t>(count);
        }
    }
    return true;
}

// wslay's callbacks.

ssize_t receiveInput(wslay_event_context_ptr framing, std::uint8_t* buffer, std::size_t size, int,
                     void* user) {
    auto* connection = static_cast<ClientApiConnection*>(user);
    if (connection->earlyTaken < connection->early.size()) {
        std::size_t count = std::min(size, connection->early.size() - connection->earlyTaken);
        std::memcpy(buffer, connection->early.data() + connection->earlyTaken, count);
        connection->earlyTaken += count;
        if (connection->earlyTaken == connection->early.size()) {
            connection->early = std::string();
            connection->earlyTaken = 0;
        }
        return static_cast<ssize_t>(count);
    }
    if (connection->queuedBytes >= QueueBound) {
        wslay_event_set_error(framing, WSLAY_ERR_WOULDBLOCK); // until the core drains
        return -1;
    }
    if (connection->drained) { // poll says when more comes, without another recv
        wslay_event_set_error(framing, WSLAY_ERR_WOULDBLOCK);
        return -1;
    }
    ssize_t count = ::recv(descriptorOf(connection), buffer, size, MSG_DONTWAIT);
    if (count > 0) {
        connection->drained = static_cast<std::size_t>(count) < size;
        return count;
    }
    const bool later = count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    // 0 is the peer's end of the stream: the connection is lost.
    wslay_event_set_error(framing, later ? WSLAY_ERR_WOULDBLOCK : WSLAY_ERR_CALLBACK_FAILURE);
    return -1;
}

ssize_t sendOutput(wslay_event_context_ptr framing, const std::uint8_t* data, std::size_t size,
                   int flags, void* user) {
    auto* connection = static_cast<ClientApiConnection*>(user);
    // A frame's head waits for its payload, so the two leave in one packet.
    const int more = (flags & WSLAY_MSG_MORE) != 0 ? MSG_MORE : 0;
    ssize_t count =
        ::send(descriptorOf(connection), data, size, MSG_NOSIGNAL | MSG_DONTWAIT | more);
    if (count > 0) {
        return count;
    }
    const bool later = count == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    wslay_event_set_error(framing, later ? WSLAY_ERR_WOULDBLOCK : WSLAY_ERR_CALLBACK_FAILURE);
    return -1;
}

int makeMask(wslay_event_context_ptr, std::uint8_t* buffer, std::size_t size, void*) {
    return fillRandom(buffer, size) ? 0 : -1;
}

// Whole text messages go into the queue; binary ones are dropped, and wslay
// answers pings and the peer's close by itself.
void takeWholeMessage(wslay_event_context_ptr, const wslay_event_on_msg_recv_arg* arg, void* user) {
    auto* connection = static_cast<ClientApiConnection*>(user);
    if (arg->opcode == WSLAY_TEXT_FRAME) {
        connection->messages.push_back(
            arg->msg_length == 0
                ? std::string()
                : std::string(reinterpret_cast<const char*>(arg->msg), arg->msg_length));
        connection->queuedBytes += arg->msg_length;
    }
}

// Sends what wslay has queued, as far as the socket takes it now.
void flushOutput(ClientApiConnection* connection) {
    if (wslay_event_want_write(connection->framing) != 0 &&
        wslay_event_send(connection->framing) != 0) {
        connection->closed = true;
    }
}

// Reads what has arrived, then sends what it asked for (a pong, the answer
// to a close). A close, a broken frame or an oversized message turns
// reading off in wslay: the connection is then closed for the core.
void readInput(ClientApiConnection* connection) {
    connection->drained = false;
    if (wslay_event_recv(connection->framing) != 0 ||
        wslay_event_get_read_enabled(connection->framing) == 0) {
        connection->closed = true;
    }
    flushOutput(connection);
}

// The upgrade handshake.

char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerCase(x) == lowerCase(y);
           });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A path sent as it is: it starts with / and holds no blank or control byte.
bool acceptablePath(const char* path) {
    if (path == nullptr || path[0] != '/') {
        return false;
    }
    for (const char* c = path; *c != '\0'; ++c) {
        if (static_cast<unsigned char>(*c) <= ' ' || *c == '\x7f') {
            return false;
        }
    }
    return true;
}

bool sendRequest(SocketHandle socket, const std::string& request, long long deadline) {
    for (std::size_t done = 0; done < request.size();) {
        long long left = deadline - now();
        int error = 0;
        int count = left <= 0 ? -1
                              : sendSome(socket, request.data() + done,
                                         static_cast<int>(request.size() - done),
                                         static_cast<int>(left), error);
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// True when the answer head (status line and header lines, each ending in
// CR LF) accepts the upgrade asked for with key, and no extension or
// subprotocol that was not asked for.
bool upgradeAccepted(std::string_view head, const std::string& key) {
    std::size_t end = head.find("\r\n");
    std::string_view status = head.substr(0, end);
    if (status.substr(0, 12) != "HTTP/1.1 101" || (status.size() > 12 && status[12] != ' ')) {
        return false;
    }
    bool upgrade = false;
    bool connection = false;
    bool accept = false;
    while (end + 2 < head.size()) {
        std::size_t start = end + 2;
        end = head.find("\r\n", start);
        std::string_view line = head.substr(start, end - start);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            return false;
        }
        std::string_view name = line.substr(0, colon);
        std::string_view value = trimmed(line.substr(colon + 1));
        if (sameText(name, "Upgrade")) {
            upgrade = sameText(value, "websocket");
        } else if (sameText(name, "Connection")) {
            for (std::size_t from = 0; from <= value.size();) {
                std::size_t comma = std::min(value.find(',', from), value.size());
                connection =
                    connection || sameText(trimmed(value.substr(from, comma - from)), "upgrade");
                from = comma + 1;
            }
        } else if (sameText(name, "Sec-WebSocket-Accept")) {
            accept = value == webSocketAccept(key);
        } else if (sameText(name, "Sec-WebSocket-Extensions") ||
                   sameText(name, "Sec-WebSocket-Protocol")) {
            return false;
        }
    }
    return upgrade && connection && accept;
}

// Reads the answer head within the time left; what follows its blank line
// goes to early.
bool readAnswer(SocketHandle socket, const std::string& key, long long deadline,
                std::string& early) {
    std::string bytes;
    std::size_t end = std::string::npos;
    char piece[4096];
    while ((end = bytes.find("\r\n\r\n")) == std::string::npos) {
        long long left = deadline - now();
        if (bytes.size() > AnswerHeadLimit || left <= 0) {
            return false;
        }
        int error = 0;
        int count = receiveSome(socket, piece, sizeof piece, static_cast<int>(left), error);
        if (count <= 0) {
            return false; // closed, failed, no answer in time, or a stop request
        }
        bytes.append(piece, static_cast<std::size_t>(count));
    }
    early = bytes.substr(end + 4);
    return upgradeAccepted(std::string_view(bytes).substr(0, end + 2), key);
}

// Makes the connection and its handshake; NoSocket when a step failed.
SocketHandle connectAndUpgrade(const char* dottedAddress, std::uint16_t port, const char* path,
                               int timeoutMilliseconds, std::string& early) {
    const long long deadline = now() + std::max(timeoutMilliseconds, 0);
    unsigned char nonce[16];
    if (!acceptablePath(path) || !fillRandom(nonce, sizeof nonce)) {
        return NoSocket;
    }
    const std::string key =
        base64Encode(std::string_view(reinterpret_cast<const char*>(nonce), sizeof nonce));
    const std::string request = std::string("GET ") + path + " HTTP/1.1\r\nHost: " +
                                (dottedAddress != nullptr ? dottedAddress : "") + ":" +
                                std::to_string(port) +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: " +
                                key + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    int error = 0;
    SocketHandle socket = createTcpSocket(error);
    if (socket == NoSocket) {
        return NoSocket;
    }
    if (connectTcp(socket, dottedAddress, port, std::max(timeoutMilliseconds, 0)) != 0 ||
        !sendRequest(socket, request, deadline) || !readAnswer(socket, key, deadline, early)) {
        closeSocket(socket);
        return NoSocket;
    }
    return socket;
}

} // namespace

ClientApiConnection* openClientApi(const char* dottedAddress, std::uint16_t port, const char* path,
                                   int timeoutMilliseconds) {
    std::string early;
    SocketHandle socket = connectAndUpgrade(dottedAddress, port, path, timeoutMilliseconds, early);
    if (socket == NoSocket) {
        return nullptr;
    }
    auto* connection = new ClientApiConnection;
    connection->socket = socket;
    connection->early = std::move(early);
    const wslay_event_callbacks callbacks{receiveInput, sendOutput, makeMask,        nullptr,
                                          nullptr,      nullptr,    takeWholeMessage};
    if (wslay_event_context_client_init(&connection->framing, &callbacks, connection) != 0) {
        closeSocket(socket);
        delete connection;
        return nullptr;
    }
    wslay_event_config_set_max_recv_msg_length(connection->framing, ClientApiMessageLimit);
    // The idle wait's poll wakes only once this much has come (or the
    // connection ends); smaller input is read when the core asks.
    const int wakeBytes = ClientApiWakeBytes;
    setsockopt(descriptorOf(connection), SOL_SOCKET, SO_RCVLOWAT, &wakeBytes, sizeof wakeBytes);
    if (!connection->early.empty()) {
        readInput(connection); // the socket may stay silent after them
    }
    return connection;
}

void receiveClientApi(ClientApiConnection* connection) {
    if (connection != nullptr && !connection->closed) {
        readInput(connection);
    }
}

ClientApiRead takeClientApiMessage(ClientApiConnection* connection, std::string& message) {
    if (connection == nullptr) {
        return ClientApiRead::Closed;
    }
    if (!connection->messages.empty()) {
        message = std::move(connection->messages.front());
        connection->messages.pop_front();
        connection->queuedBytes -= message.size();
        return ClientApiRead::Message;
    }
    return connection->closed ? ClientApiRead::Closed : ClientApiRead::Nothing;
}

bool sendClientApiMessage(ClientApiConnection* connection, const std::string& message) {
    if (connection == nullptr || connection->closed) {
        return false;
    }
    const wslay_event_msg frame{
        WSLAY_TEXT_FRAME, reinterpret_cast<const std::uint8_t*>(message.data()), message.size()};
    if (wslay_event_queue_msg(connection->framing, &frame) != 0) {
        return false;
    }
    // What the socket does not take within the limit goes on within the
    // following waits.
    const long long deadline = now() + SendLimitMilliseconds;
    for (;;) {
        flushOutput(connection);
        if (connection->closed) {
            return false;
        }
        if (wslay_event_want_write(connection->framing) == 0) {
            return true;
        }
        long long left = deadline - now();
        if (left <= 0 || stopRequested()) {
            return false;
        }
        pollfd entry{descriptorOf(connection), POLLOUT, 0};
        poll(&entry, 1, static_cast<int>(std::min<long long>(left, posix::WaitSliceMilliseconds)));
        serviceWaitHook();
    }
}

// Like sleepMilliseconds: an idle tick's wait is one poll when nothing
// arrives; a longer wait polls in wait slices with the wait hook between them.
void waitForClientApi(ClientApiConnection* connection, int milliseconds) {
    if (connection == nullptr) {
        sleepMilliseconds(milliseconds);
        return;
    }
    const bool hooked = milliseconds > HookedSleepAboveMilliseconds;
    const long long sliceLimit = hooked ? posix::WaitSliceMilliseconds : IdleSliceMilliseconds;
    const long long deadline = now() + std::max(milliseconds, 0);
    for (bool first = true;; first = false) {
        if (hooked && !first) {
            serviceWaitHook();
        }
        long long left = deadline - now();
        if (left <= 0 || stopRequested()) {
            return;
        }
        if (connection->closed || connection->queuedBytes >= QueueBound) {
            sleepMilliseconds(static_cast<int>(left));
            return;
        }
        const bool output = wslay_event_want_write(connection->framing) != 0;
        pollfd entry{descriptorOf(connection), static_cast<short>(POLLIN | (output ? POLLOUT : 0)),
                     0};
        int ready = poll(&entry, 1, static_cast<int>(std::min(left, sliceLimit)));
        if (ready < 0 && errno != EINTR) {
            sleepMilliseconds(static_cast<int>(left));
            return;
        }
        if (ready <= 0) {
            continue; // the time is up, or a signal: the loop looks again
        }
        if ((entry.revents & POLLOUT) != 0) {
            flushOutput(connection);
        }
        if (!connection->closed && (entry.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
            readInput(connection);
        }
    }
}

void closeClientApi(ClientApiConnection* connection) {
    if (connection == nullptr) {
        return;
    }
    if (!connection->closed) {
        wslay_event_queue_close(connection->framing, WSLAY_CODE_NORMAL_CLOSURE, nullptr, 0);
    }
    if (wslay_event_want_write(connection->framing) != 0) {
        wslay_event_send(connection->framing); // no wait for room, nor for the answer
    }
    closeSocket(connection->socket);
    wslay_event_context_free(connection->framing);
    delete connection;
}

} // namespace platform
