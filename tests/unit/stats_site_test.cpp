#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/report/http_download.hpp"
#include "monitor/report/stats_site.hpp"
#include "platform/fake/fake_network.hpp"

#include <cstdint>
#include <filesystem>
#include <string>

namespace {

const std::string SiteBase = "http://stats.vantor.net/folding/unitstats.php?";

class StatsSiteTest : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        fake::resetNetwork();
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

    void TearDown() override {
        fake::resetNetwork();
        ClientFolder::TearDown();
    }

    std::string submittedUrl() {
        fake::resetNetwork();
        submitUnitStats(state_);
        EXPECT_EQ(fake::network().httpRequests.size(), 1u);
        return fake::network().httpRequests.empty() ? "" : fake::network().httpRequests[0].url;
    }

    // The value of one query key in the URL submitted.
    std::string submittedValue(const std::string& key) {
        std::string url = submittedUrl();
        std::size_t start = url.find("&" + key + "=");
        if (start == std::string::npos) {
            start = url.find("?" + key + "=");
        }
        if (start == std::string::npos) {
            return "<missing>";
        }
        start += key.size() + 2;
        return url.substr(start, url.find('&', start) - start);
    }
};

TEST_F(StatsSiteTest, TheRequestsExactTextAndHowItIsMade) {
    EXPECT_EQ(submitUnitStats(state_), 0);
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
    EXPECT_TRUE(exists("Vantor.html"));
}

TEST_F(StatsSiteTest, BlanksOfTheProcessorNameBecomeUnderscoresAndStay) {
    submitUnitStats(state_);
    EXPECT_STREQ(state_.cpuName, "_Intel(R)_Pentium(R)_4_CPU_2.40GHz");
    copyText(state_.cpuName, std::string(60, ' ').c_str()); // 51 blanks kept of 60
    submitUnitStats(state_);
    EXPECT_EQ(std::string(state_.cpuName), std::string(51, '_'));
}

TEST_F(StatsSiteTest, MemoryInWholeMebibytes) {
    const struct {
        std::uint64_t bytes;
        std::string memory;
    } cases[] = {
        {0, "0"},
        {1048575, "0"},
        {536870912, "512"},
        {1610612735, "1535"},
        {8ull << 30, "8192"},
        {(2147483647ull) << 20, "2147483647"},
        {(2147483648ull) << 20, "2147483647"},
        {UINT64_MAX, "2147483647"},
    };
    for (const auto& c : cases) {
        state_.totalMemory = c.bytes;
        EXPECT_EQ(submittedValue("memory"), c.memory) << c.bytes;
    }
}

TEST_F(StatsSiteTest, ClockAndFrameTime) {
    const struct {
        float mhz;
        float frameMinutes;
        std::string cpumhz;
        std::string frametime;
    } cases[] = {
        {2393.7f, 12.5f, "2393", "12.500000"},
        {0.0f, 0.0f, "0", "0.000000"},
        {3400.999f, 0.25f, "3400", "0.250000"},
        {1.0e12f, 1.0e6f, "2147483647", "1000000.000000"},
    };
    for (const auto& c : cases) {
        state_.cpuMhz = c.mhz;
        state_.frameMinutes = c.frameMinutes;
        EXPECT_EQ(submittedValue("cpumhz"), c.cpumhz);
        EXPECT_EQ(submittedValue("frametime"), c.frametime);
    }
}

TEST_F(StatsSiteTest, TextValuesArePercentEncoded) {
    const struct {
        std::string text;
        std::string sent;
    } cases[] = {
        {"Tom", "Tom"},
        {"Tom_J-1.~x", "Tom_J-1.~x"},
        {"Tom&Jerry", "Tom%26Jerry"},
        {"a=b", "a%3Db"},
        {"100%", "100%25"},
        {"x#y", "x%23y"},
        {"a+b", "a%2Bb"},
        {"a/b?c", "a%2Fb%3Fc"},
        {"J\xf6rg", "J%F6rg"},        // Latin-1
        {"J\xc3\xb6rg", "J%C3%B6rg"}, // UTF-8
        {"", ""},
    };
    for (const auto& c : cases) {
        copyText(state_.userName, c.text.c_str());
        EXPECT_EQ(submittedValue("username"), c.sent) << c.text;
    }
}

TEST_F(StatsSiteTest, EveryTextKeyIsEncodedAndNoneCanAddAKey) {
    copyText(state_.userName, "u&team=1");
    copyText(state_.cpuVendor, "v&x");
    copyText(state_.cpuName, "n&y z");
    copyText(state_.previousUnitName, "p&z");
    copyText(state_.coreName, "c#d");
    const std::string url = submittedUrl();
    EXPECT_EQ(url, SiteBase + "username=u%26team%3D1&team=33&cpu=7&wucount=4&cpuvendor=v%26x"
                              "&cpustring=n%26y_z&cpumhz=2393&frametime=12.500000&protein=p%26z"
                              "&core=c%23d&memory=512");
}

TEST_F(StatsSiteTest, TheLongestValuesFitTheUrl) {
    copyText(state_.userName, std::string(100, '&').c_str());
    copyText(state_.cpuVendor, std::string(100, '&').c_str());
    copyText(state_.cpuName, std::string(100, '&').c_str());
    copyText(state_.previousUnitName, std::string(100, '&').c_str());
    copyText(state_.coreName, std::string(100, '&').c_str());
    const std::string url = submittedUrl();
    EXPECT_EQ(url.substr(url.size() - 11), "&memory=512");
    EXPECT_LT(url.size(), sizeof state_.statsUrl - 1);
}

TEST_F(StatsSiteTest, TheAnswerIsSavedByteForByte) {
    const std::string body("<html>\0\r\n\x80 ok</html>", 21);
    fake::network().bodyPieces = {body.substr(0, 5), body.substr(5)};
    EXPECT_EQ(submitUnitStats(state_), 0);
    std::ifstream file("Vantor.html", std::ios::binary);
    const std::string saved{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(saved, body);
}

TEST_F(StatsSiteTest, StatusCodesDecideWhetherTheAnswerIsSaved) {
    const struct {
        std::string headers;
        int result;
        bool saved;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n\r\n", 0, true},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", 0, true},
        {"HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n", 0, true},
        {"HTTP/1.1 404 Not Found\r\n\r\n", 404, false},
        {"HTTP/1.0 404\r\n\r\n", 404, false},
        {"HTTP/1.1    404 Not Found\r\n\r\n", 404, false},
        {"HTTP/2 404\r\n\r\n", 404, false},
        {"HTTP/1.1 4040 Odd\r\n\r\n", 404, false}, // three characters are compared
        {"HTTP/1.1 200 404\r\n\r\n", 0, true},
        {"HTTP/1.1404\r\n\r\n", 0, true},
        {"", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers);
        write("Vantor.html", "earlier answer");
        fake::resetNetwork();
        fake::network().responseHeaders = c.headers;
        fake::network().bodyPieces = {"new answer"};
        EXPECT_EQ(httpGetToFile("http://127.0.0.1/x", "Vantor.html"), c.result);
        EXPECT_EQ(read("Vantor.html"), c.saved ? "new answer" : "earlier answer");
        EXPECT_EQ(fake::network().openTransfers, 0);
    }
}

TEST_F(StatsSiteTest, A404CreatesNoFile) {
    fake::network().responseHeaders = "HTTP/1.1 404 Not Found\r\n\r\n";
    EXPECT_EQ(submitUnitStats(state_), 404);
    EXPECT_FALSE(exists("Vantor.html"));
}

TEST_F(StatsSiteTest, AnAnswerFileThatCannotBeOpenedGivesMinusTwo) {
    std::filesystem::create_directory("Vantor.html");
    EXPECT_EQ(submitUnitStats(state_), -2);
    EXPECT_EQ(fake::network().openTransfers, 0);
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("Vantor.html");
        fake::resetNetwork();
        fake::network().sendGetFails = c.sendFails;
        fake::network().sendGetError = c.sendError;
        fake::network().bodyPieces = {"first", "second"};
        fake::network().bodyFailsAt = c.failingPiece;
        fake::network().bodyError = c.pieceError;
        EXPECT_EQ(httpGetToFile("http://127.0.0.1/x", "Vantor.html"), c.result);
        EXPECT_EQ(exists("Vantor.html"), c.saved != nullptr);
        if (c.saved != nullptr) {
            EXPECT_EQ(read("Vantor.html"), c.saved);
        }
        EXPECT_EQ(fake::network().openTransfers, 0);
    }
}

TEST_F(StatsSiteTest, OnlyAnHttpsUrlAsksForTheSecureFlag) {
    const struct {
        const char* url;
        bool secure;
    } cases[] = {
        {"http://stats.vantor.net/x", false},
        {"https://stats.vantor.net/x", true},
        {"HTTPS://stats.vantor.net/x", true},
        {"https:/x", false},
        {"https", false},
        {"httpx://x", false},
    };
    for (const auto& c : cases) {
        fake::resetNetwork();
        httpGetToFile(c.url, "answer.html", 1500, 4000);
        ASSERT_EQ(fake::network().httpRequests.size(), 1u);
        EXPECT_EQ(fake::network().httpRequests[0].secure, c.secure) << c.url;
        EXPECT_EQ(fake::network().httpRequests[0].connectTimeoutMilliseconds, 1500);
        EXPECT_EQ(fake::network().httpRequests[0].totalTimeoutMilliseconds, 4000);
    }
}

} // namespace
