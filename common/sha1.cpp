#include "common/sha1.hpp"

#include <cstddef>

namespace {

std::uint32_t rotateLeft(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

// One 64-byte block into the running state.
void addBlock(std::array<std::uint32_t, 5>& state, const std::uint8_t* block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
    }
    for (int i = 16; i < 80; ++i) {
        w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f = 0;
        std::uint32_t k = 0;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        std::uint32_t next = rotateLeft(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotateLeft(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

} // namespace

Sha1Digest sha1(std::string_view bytes) {
    std::array<std::uint32_t, 5> state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t whole = bytes.size() / 64 * 64;
    for (std::size_t offset = 0; offset < whole; offset += 64) {
        addBlock(state, data + offset);
    }
    // The tail, the 0x80 marker, zeros and the length in bits: one block or two.
    std::uint8_t tail[128] = {};
    std::size_t rest = bytes.size() - whole;
    for (std::size_t i = 0; i < rest; ++i) {
        tail[i] = data[whole + i];
    }
    tail[rest] = 0x80;
    std::size_t tailSize = rest < 56 ? 64 : 128;
    std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailSize - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    for (std::size_t offset = 0; offset < tailSize; offset += 64) {
        addBlock(state, tail + offset);
    }
    Sha1Digest digest{};
    for (int i = 0; i < 20; ++i) {
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
    }
    return digest;
}

std::string base64Encode(std::string_view bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            group = group << 8 | (j < count ? static_cast<std::uint8_t>(bytes[i + j]) : 0u);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            text += j <= count ? alphabet[(group >> (18 - 6 * j)) & 63] : '=';
        }
    }
    return text;
}

std::string webSocketAccept(std::string_view key) {
    std::string joined(key);
    joined += "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    const Sha1Digest digest = sha1(joined);
    return base64Encode(
        std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}
