// One short TCP connection to the companion server.
#pragma once

#include <cstdint>

// Time limit of each connect, send and receive: a step that has not finished
// by then fails, so a silent server cannot hold the monitor.
inline constexpr int ConnectionStepTimeLimitMilliseconds = 10000;

struct ServerConnection {
    const char* address = nullptr; // dotted IPv4 text
    std::uint16_t port = 0;        // host order
    std::intptr_t socket = -1;     // -1 when there is none
    int received = 0;              // byte count of the last receive
    int sent = 0;                  // bytes sent by the last sendAll
    int lastError = 0;             // first failure since open, else 0
    int ownsSocketLibrary = 0;     // open started the socket library
    int stepTimeLimitMilliseconds = ConnectionStepTimeLimitMilliseconds;
};

// The connection's own error numbers, Winsock's on every platform.
inline constexpr int ConnectionInvalidArgument = 10022; // WSAEINVAL
inline constexpr int ConnectionNotConnected = 10057;    // WSAENOTCONN
inline constexpr int SocketLibraryNotStarted = 10093;   // WSANOTINITIALISED
inline constexpr std::uint16_t SocketLibraryVersion = 0x0102;

// Each operation returns the record's lastError: 0, or the first failure
// since openConnection, which makes every later send and receive do nothing.

// Creates a socket and connects it to address and port, starting the socket
// library when the platform reports it stopped. A failure closes again.
int openConnection(ServerConnection& connection);

// Closes the socket, and stops the socket library when open started it.
int closeConnection(ServerConnection& connection);

// Sends length bytes from data, send after send, until all are sent.
int sendAll(ServerConnection& connection, int length, const char* data);

// One receive of at most size bytes into buffer; its count goes to received.
int receiveOnce(ServerConnection& connection, int size, char* buffer);
