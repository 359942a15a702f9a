// SHA-1 (FIPS 180-4) and base64 (RFC 4648), small and portable: what the
// WebSocket handshake needs to make and check its keys (RFC 6455 4.2.2), on
// the client's side and the test peer's.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using Sha1Digest = std::array<std::uint8_t, 20>;

// The SHA-1 digest of bytes.
Sha1Digest sha1(std::string_view bytes);

// bytes in base64 with padding, on one line.
std::string base64Encode(std::string_view bytes);

// The Sec-WebSocket-Accept value that answers a Sec-WebSocket-Key: the
// base64 of the SHA-1 of the key followed by the protocol's fixed GUID.
std::string webSocketAccept(std::string_view key);
