#include "options.hpp"
#include "token.hpp"

#include <gtest/gtest.h>

namespace {

TEST(OptionsTest, ParsesAddresses) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::string listen;
        int listenPort;
        std::string web;
        int webPort;
    };
    const Case cases[] = {
        {{}, true, "0.0.0.0", 25876, "127.0.0.1", 8080},
        {{"--listen", "127.0.0.1", "--web", "0.0.0.0:9000"},
         true,
         "127.0.0.1",
         25876,
         "0.0.0.0",
         9000},
        {{"--listen", "127.0.0.1:0", "--web", "[::1]:0"}, true, "127.0.0.1", 0, "::1", 0},
        {{"--web", "127.0.0.1"}, false, "", 0, "", 0},
        {{"--web", "127.0.0.1:99999"}, false, "", 0, "", 0},
        {{"--listen"}, false, "", 0, "", 0},
        {{"--token", "short"}, false, "", 0, "", 0},
        {{"--bogus", "1"}, false, "", 0, "", 0},
    };
    for (const Case& c : cases) {
        std::string error;
        std::optional<ServerOptions> o = parseOptions(c.args, error);
        ASSERT_EQ(o.has_value(), c.ok) << error;
        if (o) {
            EXPECT_EQ(o->listenAddress, c.listen);
            EXPECT_EQ(o->listenPort, c.listenPort);
            EXPECT_EQ(o->webAddress, c.web);
            EXPECT_EQ(o->webPort, c.webPort);
        }
    }
    EXPECT_TRUE(isLoopbackAddress("127.0.0.1"));
    EXPECT_FALSE(isLoopbackAddress("0.0.0.0"));
}

TEST(OptionsTest, ParsesLimitsAndTls) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::size_t perAddress;
        bool allowsOther; // 127.0.0.2 may report
    };
    const Case cases[] = {
        {{}, true, 64, true},
        {{"--per-address-limit", "8", "--allow", "127.0.0.1/32"}, true, 8, false},
        {{"--allow", "127.0.0.1/32", "--allow", "127.0.0.2"}, true, 64, true},
        {{"--allow", "127.0.0.1/32,::1/128"}, true, 64, false},
        {{"--per-address-limit", "0"}, false, 0, false},
        {{"--per-address-limit", "-1"}, false, 0, false},
        {{"--per-address-limit", "8x"}, false, 0, false},
        {{"--units-per-minute", "60", "--per-address-limit", "8"}, true, 8, true},
        {{"--units-per-minute", "0"}, false, 0, false},
        {{"--allow", "127.0.0.1/40"}, false, 0, false},
        {{"--allow", "anyone"}, false, 0, false},
        {{"--tls-cert", "cert.pem", "--tls-key", "key.pem"}, true, 64, true},
        {{"--tls-cert", "cert.pem"}, false, 0, false}, // one without the other
        {{"--tls-key", "key.pem"}, false, 0, false},
    };
    for (const Case& c : cases) {
        std::string error;
        std::optional<ServerOptions> o = parseOptions(c.args, error);
        ASSERT_EQ(o.has_value(), c.ok) << error;
        if (o) {
            EXPECT_EQ(o->perAddressLimit, c.perAddress);
            EXPECT_EQ(o->allowed.allows(*parseIpAddress("127.0.0.2")), c.allowsOther);
            EXPECT_TRUE(o->allowed.allows(*parseIpAddress("127.0.0.1")));
        }
    }
}

TEST(TokenTest, MatchesOnlyTheWholeToken) {
    std::string token = generateToken();
    EXPECT_EQ(token.size(), 32u);
    EXPECT_NE(token, generateToken());
    EXPECT_TRUE(tokensMatch(token, bearerToken("Bearer " + token)));
    const std::string wrong[] = {
        "",   "Bearer ", "bearer " + token, "Bearer " + token + "x", "Bearer " + token.substr(1),
        token};
    for (const std::string& header : wrong) {
        EXPECT_FALSE(tokensMatch(token, bearerToken(header))) << header;
    }
    EXPECT_FALSE(tokensMatch("", ""));
}

} // namespace
