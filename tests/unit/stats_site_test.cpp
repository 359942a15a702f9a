#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/report/http_download.hpp"
#include "monitor/report/stats_site.hpp"
#include "platform/fake/fake_network.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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

    // The value of one query key in the URL submitted (values never hold '=').
    std::string submittedValue(const std::string& key) {
        const std::string url = submittedUrl() + "&";
        const std::size_t start = url.find(key + "=") + key.size() + 1;
        return url.substr(start, url.find('&', start) - start);
    }

    // Puts text in every text field the submission sends.
    void setTexts(const std::string& text) {
        auto set = [&](auto&... fields) { (copyText(fields, text.c_str()), ...); };
        set(state_.userName, state_.cpuVendor, state_.cpuName, state_.previousUnitName,
            state_.coreName);
    }

    // A fresh fake site answering with these body pieces.
    static fake::Network& site(std::vector<std::string> pieces = {"first", "second"}) {
        fake::resetNetwork();
        fake::network().bodyPieces = std::move(pieces);
        return fake::network();
    }

    // Fetches into Vantor.html; the transfer is closed again whatever happened.
    static int fetch(const char* url = "http://127.0.0.1/x") {
        int result = httpGetToFile(url, "Vantor.html", 1500, 4000);
        EXPECT_EQ(fake::network().openTransfers, 0);
        return result;
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
    const std::tuple<float, float, std::uint64_t, const char*, const char*, const char*> cases[] = {
        {0.0f, 0.0f, 1048575, "0", "0.000000", "0"},
        {3400.999f, 0.25f, 1610612735, "3400", "0.250000", "1535"},
        {1.0e12f, 1.0e6f, 8ull << 30, "2147483647", "1000000.000000", "8192"},
        {1.0f, 1.0f, 2147483647ull << 20, "1", "1.000000", "2147483647"},
        {1.0f, 1.0f, UINT64_MAX, "1", "1.000000", "2147483647"},
    };
    for (const auto& [mhz, frameMinutes, bytes, cpumhz, frametime, memory] : cases) {
        SCOPED_TRACE(memory);
        state_.cpuMhz = mhz;
        state_.frameMinutes = frameMinutes;
        state_.totalMemory = bytes;
        EXPECT_EQ(submittedValue("cpumhz"), cpumhz);
        EXPECT_EQ(submittedValue("frametime"), frametime);
        EXPECT_EQ(submittedValue("memory"), memory);
    }
}

// Every text value is sent percent-encoded, so that none can end its key or add another.
TEST_F(StatsSiteTest, TextValuesArePercentEncoded) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom", "Tom"},        {"Tom_J-1.~x", "Tom_J-1.~x"}, {"Tom&Jerry", "Tom%26Jerry"},
        {"a=b", "a%3Db"},      {"100%", "100%25"},           {"x#y", "x%23y"},
        {"a+b", "a%2Bb"},      {"a/b?c", "a%2Fb%3Fc"},       {"", ""},
        {"J\xf6rg", "J%F6rg"}, {"J\xc3\xb6rg", "J%C3%B6rg"}}; // Latin-1 and UTF-8
    for (const auto& [text, sent] : cases) {
        setTexts(text);
        for (const char* key : {"username", "cpuvendor", "cpustring", "protein", "core"}) {
            EXPECT_EQ(submittedValue(key), sent) << key << "=" << text;
        }
    }
}

TEST_F(StatsSiteTest, FullTextFieldsStillGiveTheWholeUrl) {
    setTexts(std::string(100, '&')); // fills every field
    const std::string url = submittedUrl();
    EXPECT_EQ(url.substr(url.size() - 11), "&memory=512");
    EXPECT_LT(url.size(), sizeof state_.statsUrl - 1);
}

TEST_F(StatsSiteTest, A404KeepsTheEarlierAnswerAndAnyOtherStatusReplacesIt) {
    const std::pair<std::string, bool> cases[] = {
        // headers, taken as 404
        {"HTTP/1.1 200 OK\r\n\r\n", false},
        {"HTTP/1.1 404 Not Found\r\n\r\n", true},
        {"HTTP/1.1    404 Not Found\r\n\r\n", true},
        {"HTTP/2 404\r\n\r\n", true},
        {"HTTP/1.1 4040 Odd\r\n\r\n", true}, // three characters are compared
        {"HTTP/1.1 200 404\r\n\r\n", false},
        {"HTTP/1.1404\r\n\r\n", false},
        {"", false}};
    for (const auto& [headers, notFound] : cases) {
        SCOPED_TRACE(headers);
        std::filesystem::remove("Vantor.html");
        site().responseHeaders = headers;
        EXPECT_EQ(fetch(), notFound ? 404 : 0);
        EXPECT_EQ(exists("Vantor.html"), !notFound); // a 404 creates no file
        write("Vantor.html", "earlier answer");
        EXPECT_EQ(fetch(), notFound ? 404 : 0);
        EXPECT_EQ(read("Vantor.html"), notFound ? "earlier answer" : "firstsecond");
    }
}

TEST_F(StatsSiteTest, FailuresGiveThePlatformsNumberOrMinusOne) {
    // The request fails (with a number), a body piece fails (with a number), the
    // result, and what is saved (null: no file).
    const std::tuple<const char*, bool, int, int, int, int, const char*> cases[] = {
        {"request fails", true, 12029, -1, 0, 12029, nullptr},
        {"request fails without a number", true, 0, -1, 0, -1, nullptr},
        {"second piece fails", false, 0, 1, 12002, 12002, "first"},
        {"first piece fails without a number", false, 0, 0, 0, -1, ""},
        {"the answer file cannot be opened", false, 0, -1, 0, -2, nullptr},
    };
    for (const auto& [name, sendFails, sendError, failingPiece, pieceError, result, saved] :
         cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove("Vantor.html");
        if (result == -2) {
            std::filesystem::create_directory("Vantor.html");
        }
        fake::Network& network = site();
        network.sendGetFails = sendFails;
        network.sendGetError = sendError;
        network.bodyFailsAt = failingPiece;
        network.bodyError = pieceError;
        EXPECT_EQ(fetch(), result);
        EXPECT_EQ(std::filesystem::is_regular_file("Vantor.html"), saved != nullptr);
        if (saved != nullptr) {
            EXPECT_EQ(read("Vantor.html"), saved);
        }
    }
}

TEST_F(StatsSiteTest, AnAnswerIsSavedUpToOneMebibyteAndALongerOneFails) {
    const std::size_t mebibyte = 1048576;
    const std::tuple<std::size_t, std::size_t, int> cases[] = {
        {mebibyte, 262144, 0},             // ends right at the limit
        {mebibyte + 1, 262144, -3},        // one more piece of one byte
        {2 * mebibyte, 300000, -3},        // the limit falls inside a piece
        {2 * mebibyte, 2 * mebibyte, -3}}; // one piece far above
    for (const auto& [total, piece, result] : cases) {
        SCOPED_TRACE(total);
        std::string body(total, ' ');
        for (std::size_t i = 0; i < body.size(); ++i) {
            body[i] = static_cast<char>('a' + i % 26);
        }
        fake::Network& network = site({});
        for (std::size_t at = 0; at < body.size(); at += piece) {
            network.bodyPieces.push_back(body.substr(at, piece));
        }
        EXPECT_EQ(fetch(), result);
        const std::string saved = read("Vantor.html"); // no megabyte-long failure text:
        EXPECT_TRUE(saved == body.substr(0, mebibyte)) << saved.size() << " bytes saved";
    }
}

TEST_F(StatsSiteTest, OnlyAnHttpsUrlAsksForTheSecureFlag) {
    const std::pair<const char*, bool> cases[] = {{"http://x/", false}, {"https://x/", true},
                                                  {"HTTPS://x/", true}, {"https:/x", false},
                                                  {"https", false},     {"httpx://x", false}};
    for (const auto& [url, secure] : cases) {
        fetch(url);
        EXPECT_EQ(fake::network().httpRequests.back().secure, secure) << url;
    }
    // The time limits given reach the platform.
    EXPECT_EQ(fake::network().httpRequests.back().connectTimeoutMilliseconds, 1500);
    EXPECT_EQ(fake::network().httpRequests.back().totalTimeoutMilliseconds, 4000);
}

} // namespace
