// One IPv4 TCP client connection at a time, through the platform's sockets.
// Every failure is reported as the platform's own error number (errno, or
// the Winsock error); 0 means success.
#pragma once

#include <cstdint>

namespace platform {

// A socket as an opaque value; NoSocket means none.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle NoSocket = -1;

// Starts the socket library with the version word asked for (low byte major,
// high byte minor). Returns 0, or the error number the start reported, which
// is never 0. Platforms whose sockets need no start succeed at once.
int startSocketLibrary(std::uint16_t version);

// Stops the socket library after a successful start.
void stopSocketLibrary();

// Creates an IPv4 stream socket with TCP. Returns NoSocket on failure, with
// the error number in error.
SocketHandle createTcpSocket(int& error);

// Connects to a dotted IPv4 address text (no name lookup; text that is not
// such an address fails) and a port in host order. A connection not made
// within timeoutMilliseconds fails with the platform's time-out error.
// Returns 0 or the error number.
int connectTcp(SocketHandle socket, const char* dottedAddress, std::uint16_t port,
               int timeoutMilliseconds);

// One send of at most length bytes. Returns the count sent (0 or more), or -1
// with the error number in error; a send that cannot start within
// timeoutMilliseconds fails with the platform's time-out error. A peer that
// has gone away is an error, never a signal.
int sendSome(SocketHandle socket, const char* data, int length, int timeoutMilliseconds,
             int& error);

// One receive of at most size bytes. Returns the count received (0 when the
// peer closed the connection), or -1 with the error number in error; nothing
// arriving within timeoutMilliseconds fails with the platform's time-out
// error.
int receiveSome(SocketHandle socket, char* buffer, int size, int timeoutMilliseconds, int& error);

// Closes the socket.
void closeSocket(SocketHandle socket);

} // namespace platform
