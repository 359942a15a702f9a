#include "monitor/report/server_connection.hpp"

#include "platform/tcp.hpp"

namespace {

// A failed step for which the platform gave no number still counts as one.
int failureCode(int error) {
    return error != 0 ? error : -1;
}

// Records a failure unless an earlier one is already recorded.
void fail(ServerConnection& c, int error) {
    if (c.lastError == 0) {
        c.lastError = failureCode(error);
    }
}

// The checks that precede every send and receive.
void checkStep(ServerConnection& c, int size, const void* data) {
    if (size <= 0 || data == nullptr) {
        fail(c, ConnectionInvalidArgument);
    }
    if (c.socket == platform::NoSocket) {
        fail(c, ConnectionNotConnected);
    }
}

} // namespace

int openConnection(ServerConnection& c) {
    int error = 0;
    c.socket = platform::createTcpSocket(error);
    c.lastError = 0;
    c.ownsSocketLibrary = 0;
    if (c.socket == platform::NoSocket) {
        if (error != SocketLibraryNotStarted) {
            c.lastError = failureCode(error);
            return c.lastError;
        }
        // The library is stopped: start it for this connection only.
        int startError = platform::startSocketLibrary(SocketLibraryVersion);
        if (startError != 0) {
            c.lastError = startError;
            return c.lastError;
        }
        c.ownsSocketLibrary = 1;
        c.socket = platform::createTcpSocket(error);
        if (c.socket == platform::NoSocket) {
            c.lastError = failureCode(error);
        }
    }
    if (c.lastError == 0) {
        c.lastError = platform::connectTcp(c.socket, c.address != nullptr ? c.address : "", c.port,
                                           c.stepTimeLimitMilliseconds);
    }
    if (c.lastError != 0) {
        int error = c.lastError;
        closeConnection(c);
        c.lastError = error;
    }
    return c.lastError;
}

int closeConnection(ServerConnection& c) {
    if (c.socket != platform::NoSocket) {
        platform::closeSocket(c.socket);
    }
    c.socket = platform::NoSocket;
    if (c.ownsSocketLibrary != 0) {
        platform::stopSocketLibrary();
        c.ownsSocketLibrary = 0;
    }
    return c.lastError;
}

int sendAll(ServerConnection& c, int length, const char* data) {
    checkStep(c, length, data);
    if (c.lastError != 0) {
        return c.lastError;
    }
    c.sent = 0;
    while (c.sent < length) {
        int error = 0;
        int count = platform::sendSome(c.socket, data + c.sent, length - c.sent,
                                       c.stepTimeLimitMilliseconds, error);
        if (count < 0) {
            fail(c, error);
            break;
        }
        if (count == 0) {
            break;
        }
        c.sent += count;
    }
    return c.lastError;
}

int receiveOnce(ServerConnection& c, int size, char* buffer) {
    checkStep(c, size, buffer);
    if (c.lastError != 0) {
        c.received = 0;
        return c.lastError;
    }
    int error = 0;
    int count = platform::receiveSome(c.socket, buffer, size, c.stepTimeLimitMilliseconds, error);
    if (count < 0) {
        fail(c, error);
        c.received = 0;
    } else {
        c.received = count;
    }
    return c.lastError;
}
