// SHA-1 (FIPS 180) and base64 (RFC 4648) against published vectors, and the
// handshake key of RFC 6455's own example.
#include "common/sha1.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

std::string hex(const Sha1Digest& digest) {
    std::string text;
    for (std::uint8_t byte : digest) {
        text += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    }
    return text;
}

TEST(Sha1, PublishedVectorsAndTheHandshakeExample) {
    const std::pair<std::string, const char*> cases[] = {
        {hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {hex(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")), // two tail blocks
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {hex(sha1(std::string(64, 'a'))), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
        {hex(sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {base64Encode("f"), "Zg=="},
        {base64Encode(std::string("\xff\xfe\x00", 3)), "//4A"}, // high bytes
        {webSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo="},
    };
    for (const auto& [got, expected] : cases) {
        EXPECT_EQ(got, expected);
    }
}

} // namespace
