#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/report/http_download.hpp"
#include "monitor/report/stats_site.hpp"
#include "platform/fake/fake_network.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

namespace {

const std::string SiteBase = "http://stats.vantor.net/folding/unitstats.php?";

class StatsSiteTest : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        copyText(state_.userName, "Tom");
        state_.teamNumber = 33;
        state_.machineId = 7;
        state_.cpuNumber = 2; // not sent: cpu is the machine id
        state_.unitCount = 4;
        copyText(state_.cpuVendor, "GenuineIntel");
        copyText(state_.cpuName, " Intel(R) Pentium(R) 4 CPU 2.40GHz");
        state_.cpuMhz = 2393.7f;
        state_.frameMinutes = 12.5f;
        copyText(state_.previousUnitName, "p2665_IBX_in_water");
        copyText(state_.unitName, "p4744_lam5w_300K");
        copyText(state_.coreName, "GROMACS");
        state_.totalMemory = 536870912;
    }

    std::string submittedUrl() {
        fake::resetNetwork();
        submitUnitStats(state_, state_.coreName);
        const auto& requests = fake::network().httpRequests;
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? "" : requests[0].url;
    }

    // The value of one query key in the URL submitted.
    std::string submittedValue(const std::string& key) {
        const std::string query = "&" + submittedUrl().substr(SiteBase.size());
        std::size_t start = query.find("&" + key + "=");
        if (start == std::string::npos) {
            return "<missing>";
        }
        start += key.size() + 2;
        return query.substr(start, query.find('&', start) - start);
    }

    // Fetches into Vantor.html from a fake site answering with these headers.
    static int fetch(const std::string& headers) {
        fake::resetNetwork();
        fake::network().responseHeaders = headers;
        fake::network().bodyPieces = {"first", "second"};
        return httpGetToFile("http://127.0.0.1/x", "Vantor.html");
    }
};

TEST_F(StatsSiteTest, TheRequestsExactTextAndHowItIsMade) {
    EXPECT_EQ(submitUnitStats(state_, state_.coreName), 0);
    ASSERT_EQ(fake::network().httpRequests.size(), 1u);
    const fake::HttpRequestSeen& request = fake::network().httpRequests[0];
    const std::string expected =
        SiteBase + "username=Tom&team=33&cpu=7&wucount=4&cpuvendor=GenuineIntel"
                   "&cpustring=_Intel%28R%29_Pentium%28R%29_4_CPU_2.40GHz&cpumhz=2393"
                   "&frametime=12.500000&protein=p2665_IBX_in_water&core=GROMACS&memory=512";
    EXPECT_EQ(request.url, expected);
    EXPECT_EQ(std::string(state_.statsUrl), expected);
    EXPECT_EQ(request.userAgent, "lcc WinHTTP/1.0");
    EXPECT_FALSE(request.secure);
    EXPECT_EQ(request.connectTimeoutMilliseconds, 10000);
    EXPECT_EQ(request.totalTimeoutMilliseconds, 30000);
    EXPECT_EQ(fake::network().openTransfers, 0);
    EXPECT_EQ(read("Vantor.html"), "");
    // The blanks stay underscores; only the first 51 characters are changed.
    EXPECT_STREQ(state_.cpuName, "_Intel(R)_Pentium(R)_4_CPU_2.40GHz");
    copyText(state_.cpuName, std::string(60, ' ').c_str());
    submitUnitStats(state_, state_.coreName);
    EXPECT_EQ(std::string(state_.cpuName), std::string(51, '_'));
}

TEST_F(StatsSiteTest, ClockFrameTimeAndMemoryInWholeMebibytes) {
    const struct {
        float mhz;
        float frameMinutes;
        std::uint64_t bytes;
        const char* cpumhz;
        const char* frametime;
        const char* memory;
    } cases[] = {
        {2393.7f, 12.5f, 0, "2393", "12.500000", "0"},
        {0.0f, 0.0f, 1048575, "0", "0.000000", "0"},
        {3400.999f, 0.25f, 1610612735, "3400", "0.250000", "1535"},
        {1.0e12f, 1.0e6f, 8ull << 30, "2147483647", "1000000.000000", "8192"},
        {1.0f, 1.0f, 2147483647ull << 20, "1", "1.000000", "2147483647"},
        {1.0f, 1.0f, 2147483648ull << 20, "1", "1.000000", "2147483647"},
        {1.0f, 1.0f, UINT64_MAX, "1", "1.000000", "2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.memory);
        state_.cpuMhz = c.mhz;
        state_.frameMinutes = c.frameMinutes;
        state_.totalMemory = c.bytes;
        EXPECT_EQ(submittedValue("cpumhz"), c.cpumhz);
        EXPECT_EQ(submittedValue("frametime"), c.frametime);
        EXPECT_EQ(submittedValue("memory"), c.memory);
    }
}

TEST_F(StatsSiteTest, TextValuesArePercentEncoded) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom", "Tom"},        {"Tom_J-1.~x", "Tom_J-1.~x"}, {"Tom&Jerry", "Tom%26Jerry"},
        {"a=b", "a%3Db"},      {"100%", "100%25"},           {"x#y", "x%23y"},
        {"a+b", "a%2Bb"},      {"a/b?c", "a%2Fb%3Fc"},       {"", ""},
        {"J\xf6rg", "J%F6rg"}, {"J\xc3\xb6rg", "J%C3%B6rg"}}; // Latin-1 and UTF-8
    for (const auto& [text, sent] : cases) {
        copyText(state_.userName, text.c_str());
        EXPECT_EQ(submittedValue("username"), sent) << text;
    }
}

TEST_F(StatsSiteTest, EveryTextKeyIsEncodedAndNoneCanAddAKey) {
    copyText(state_.userName, "u&team=1");
    copyText(state_.cpuVendor, "v&x");
    copyText(state_.cpuName, "n&y z");
    copyText(state_.previousUnitName, "p&z");
    copyText(state_.coreName, "c#d");
    EXPECT_EQ(submittedUrl(), SiteBase +
                                  "username=u%26team%3D1&team=33&cpu=7&wucount=4&cpuvendor=v%26x"
                                  "&cpustring=n%26y_z&cpumhz=2393&frametime=12.500000&protein=p%26z"
                                  "&core=c%23d&memory=512");

    const std::string longest(100, '&'); // fills every field
    copyText(state_.userName, longest.c_str());
    copyText(state_.cpuVendor, longest.c_str());
    copyText(state_.cpuName, longest.c_str());
    copyText(state_.previousUnitName, longest.c_str());
    copyText(state_.coreName, longest.c_str());
    const std::string url = submittedUrl();
    EXPECT_EQ(url.substr(url.size() - 11), "&memory=512");
    EXPECT_LT(url.size(), sizeof state_.statsUrl - 1);
}

TEST_F(StatsSiteTest, A404KeepsTheEarlierAnswerAndAnyOtherStatusReplacesIt) {
    const std::pair<std::string, bool> cases[] = {
        // headers, taken as 404
        {"HTTP/1.1 200 OK\r\n\r\n", false},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", false},
        {"HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n", false},
        {"HTTP/1.1 404 Not Found\r\n\r\n", true},
        {"HTTP/1.0 404\r\n\r\n", true},
        {"HTTP/1.1    404 Not Found\r\n\r\n", true},
        {"HTTP/2 404\r\n\r\n", true},
        {"HTTP/1.1 4040 Odd\r\n\r\n", true}, // three characters are compared
        {"HTTP/1.1 200 404\r\n\r\n", false},
        {"HTTP/1.1404\r\n\r\n", false},
        {"", false}};
    for (const auto& [headers, notFound] : cases) {
        SCOPED_TRACE(headers);
        std::filesystem::remove("Vantor.html");
        EXPECT_EQ(fetch(headers), notFound ? 404 : 0);
        EXPECT_EQ(exists("Vantor.html"), !notFound); // a 404 creates no file
        write("Vantor.html", "earlier answer");
        EXPECT_EQ(fetch(headers), notFound ? 404 : 0);
        EXPECT_EQ(read("Vantor.html"), notFound ? "earlier answer" : "firstsecond");
        EXPECT_EQ(fake::network().openTransfers, 0);
    }
}

TEST_F(StatsSiteTest, FailuresGiveThePlatformsNumberOrMinusOne) {
    const struct {
        const char* name;
        bool sendFails;
        int sendError;
        int failingPiece;
        int pieceError;
        int result;
        const char* saved; // null: no file
    } cases[] = {
        {"request fails", true, 12029, -1, 0, 12029, nullptr},
        {"request fails without a number", true, 0, -1, 0, -1, nullptr},
        {"second piece fails", false, 0, 1, 12002, 12002, "first"},
        {"first piece fails without a number", false, 0, 0, 0, -1, ""},
        {"the answer file cannot be opened", false, 0, -1, 0, -2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("Vantor.html");
        if (c.result == -2) {
            std::filesystem::create_directory("Vantor.html");
        }
        fake::resetNetwork();
        fake::network().sendGetFails = c.sendFails;
        fake::network().sendGetError = c.sendError;
        fake::network().bodyPieces = {"first", "second"};
        fake::network().bodyFailsAt = c.failingPiece;
        fake::network().bodyError = c.pieceError;
        EXPECT_EQ(httpGetToFile("http://127.0.0.1/x", "Vantor.html"), c.result);
        EXPECT_EQ(std::filesystem::is_regular_file("Vantor.html"), c.saved != nullptr);
        if (c.saved != nullptr) {
            EXPECT_EQ(read("Vantor.html"), c.saved);
        }
        EXPECT_EQ(fake::network().openTransfers, 0);
    }
}

TEST_F(StatsSiteTest, AnAnswerIsSavedUpToOneMebibyteAndALongerOneFails) {
    const std::size_t mebibyte = 1048576;
    const struct {
        std::size_t total;
        std::size_t piece;
        int result;
    } cases[] = {{mebibyte, 262144, 0},             // ends right at the limit
                 {mebibyte + 1, 262144, -3},        // one more piece of one byte
                 {2 * mebibyte, 300000, -3},        // the limit falls inside a piece
                 {2 * mebibyte, 2 * mebibyte, -3}}; // one piece far above
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        std::string body(c.total, ' ');
        for (std::size_t i = 0; i < body.size(); ++i) {
            body[i] = static_cast<char>('a' + i % 26);
        }
        fake::resetNetwork();
        for (std::size_t at = 0; at < body.size(); at += c.piece) {
            fake::network().bodyPieces.push_back(body.substr(at, c.piece));
        }
        EXPECT_EQ(httpGetToFile("http://127.0.0.1/x", "Vantor.html"), c.result);
        const std::string saved = read("Vantor.html");
        EXPECT_EQ(saved.size(), mebibyte);
        EXPECT_TRUE(saved == body.substr(0, mebibyte)); // no megabyte-long failure text
        EXPECT_EQ(fake::network().openTransfers, 0);
    }
}

TEST_F(StatsSiteTest, OnlyAnHttpsUrlAsksForTheSecureFlag) {
    const std::pair<const char*, bool> cases[] = {{"http://x/", false}, {"https://x/", true},
                                                  {"HTTPS://x/", true}, {"https:/x", false},
                                                  {"https", false},     {"httpx://x", false}};
    for (const auto& [url, secure] : cases) {
        fake::resetNetwork();
        httpGetToFile(url, "answer.html", 1500, 4000);
        ASSERT_EQ(fake::network().httpRequests.size(), 1u);
        const fake::HttpRequestSeen& request = fake::network().httpRequests[0];
        EXPECT_EQ(request.secure, secure) << url;
        EXPECT_EQ(request.connectTimeoutMilliseconds, 1500);
        EXPECT_EQ(request.totalTimeoutMilliseconds, 4000);
    }
}

} // namespace
