// The download over the real HTTP backend, against a small HTTP server that
// the test runs itself on 127.0.0.1.
#include "loopback_peer.hpp"
#include "monitor/report/http_download.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int PeerPatience = 5000;
constexpr long long Slack = 3000;

// Serves the connections that come in, one at a time, each with the next
// handler; records each request's head. The thread ends once every handler
// has run or no further connection arrives in time.
class HttpPeer {
public:
    using Handler = std::function<void(loopback::Peer&)>;

    explicit HttpPeer(std::vector<Handler> handlers) : handlers_(std::move(handlers)) {
        thread_ = std::thread([this] { serve(); });
    }

    ~HttpPeer() { finish(); }

    void finish() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(listener_.port()) + path;
    }

    // The request heads received; valid after finish().
    const std::vector<std::string>& requests() const { return requests_; }

    // A whole answer with the given status line, headers and body.
    static Handler answer(const std::string& status, const std::string& body,
                          const std::string& headers = "") {
        return [=](loopback::Peer& peer) {
            peer.sendAll("HTTP/1.1 " + status +
                         "\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\nConnection: close\r\n" + headers + "\r\n" + body);
        };
    }

private:
    void serve() {
        for (Handler& handler : handlers_) {
            loopback::Peer peer = listener_.accept(PeerPatience);
            if (!peer.valid()) {
                return;
            }
            requests_.push_back(peer.receiveUntil("\r\n\r\n", PeerPatience));
            handler(peer);
            peer.close();
        }
        // A client that follows a redirect would come back: note it.
        loopback::Peer extra = listener_.accept(200);
        if (extra.valid()) {
            requests_.push_back(extra.receiveUntil("\r\n\r\n", PeerPatience));
        }
    }

    loopback::Listener listener_;
    std::vector<Handler> handlers_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

class HttpLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        loopback::bypassProxies();
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("vigilon-http-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(folder_);
        file_ = (folder_ / "Vantor.html").string();
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string saved() const {
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void writeSaved(const std::string& text) const {
        std::ofstream(file_, std::ios::binary) << text;
    }

    static std::string headerValue(const std::string& head, const std::string& name) {
        std::size_t start = head.find("\r\n" + name + ": ");
        if (start == std::string::npos) {
            return "<missing>";
        }
        start += name.size() + 4;
        return head.substr(start, head.find("\r\n", start) - start);
    }

    fs::path folder_;
    std::string file_;
};

std::string binaryBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>((i * 31) ^ (i >> 8));
    }
    return body;
}

TEST_F(HttpLoopback, AnAnswerIsSavedByteForByteAndTheRequestIsAsBuilt) {
    const std::string body = binaryBody(300000);
    HttpPeer peer({HttpPeer::answer("200 OK", body)});
    const std::string path = "/folding/unitstats.php?username=Tom%26Jerry&team=33&cpustring="
                             "_Intel%28R%29_Core&frametime=12.500000&memory=512";
    EXPECT_EQ(httpGetToFile(peer.url(path).c_str(), file_.c_str()), 0);
    peer.finish();
    EXPECT_EQ(saved(), body);
    ASSERT_EQ(peer.requests().size(), 1u);
    const std::string& head = peer.requests()[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET " + path + " HTTP/1.1");
    EXPECT_EQ(headerValue(head, "User-Agent"), "lcc WinHTTP/1.0");
}

TEST_F(HttpLoopback, StatusesDecideWhetherTheAnswerIsSaved) {
    const struct {
        const char* status;
        int result;
        bool saved;
    } cases[] = {
        {"200 OK", 0, true},
        {"500 Internal Server Error", 0, true},
        {"403 Forbidden", 0, true},
        {"404 Not Found", 404, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        writeSaved("earlier answer");
        HttpPeer peer({HttpPeer::answer(c.status, std::string("answer to ") + c.status)});
        EXPECT_EQ(httpGetToFile(peer.url("/x").c_str(), file_.c_str()), c.result);
        peer.finish();
        EXPECT_EQ(saved(), c.saved ? std::string("answer to ") + c.status : "earlier answer");
    }
}

TEST_F(HttpLoopback, A404CreatesNoFile) {
    HttpPeer peer({HttpPeer::answer("404 Not Found", "gone")});
    EXPECT_EQ(httpGetToFile(peer.url("/x").c_str(), file_.c_str()), 404);
    peer.finish();
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HttpLoopback, ARedirectIsNotFollowed) {
    HttpPeer peer({HttpPeer::answer("302 Found", "moved", "Location: /elsewhere\r\n")});
    EXPECT_EQ(httpGetToFile(peer.url("/x").c_str(), file_.c_str()), 0);
    peer.finish();
    EXPECT_EQ(peer.requests().size(), 1u);
    EXPECT_EQ(saved(), "moved");
}

TEST_F(HttpLoopback, AChunkedAnswerIsSavedWhole) {
    HttpPeer peer({[](loopback::Peer& p) {
        p.sendAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                  "5\r\nhello\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        p.sendAll("6\r\n world\r\n0\r\n\r\n");
    }});
    EXPECT_EQ(httpGetToFile(peer.url("/x").c_str(), file_.c_str()), 0);
    peer.finish();
    EXPECT_EQ(saved(), "hello world");
}

TEST_F(HttpLoopback, ASilentServerFailsAtTheRequestTimeLimit) {
    HttpPeer peer({[](loopback::Peer& p) { p.awaitClose(PeerPatience); }});
    long long start = loopback::steadyMilliseconds();
    int result = httpGetToFile(peer.url("/x").c_str(), file_.c_str(), 500, 800);
    long long took = loopback::steadyMilliseconds() - start;
    peer.finish();
    EXPECT_NE(result, 0);
    EXPECT_NE(result, 404);
    EXPECT_LT(took, 800 + Slack);
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HttpLoopback, ABodyThatStallsFailsAtTheLimitAndKeepsWhatArrived) {
    HttpPeer peer({[](loopback::Peer& p) {
        p.sendAll("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
        p.awaitClose(PeerPatience);
    }});
    long long start = loopback::steadyMilliseconds();
    int result = httpGetToFile(peer.url("/x").c_str(), file_.c_str(), 500, 800);
    long long took = loopback::steadyMilliseconds() - start;
    peer.finish();
    EXPECT_NE(result, 0);
    EXPECT_LT(took, 800 + Slack);
    EXPECT_EQ(saved(), "0123456789");
}

TEST_F(HttpLoopback, ABodyCutShortFailsAndKeepsWhatArrived) {
    HttpPeer peer({[](loopback::Peer& p) {
        p.sendAll("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
    }});
    int result = httpGetToFile(peer.url("/x").c_str(), file_.c_str());
    peer.finish();
    EXPECT_NE(result, 0);
    EXPECT_EQ(saved(), "0123456789");
}

TEST_F(HttpLoopback, AServerThatClosesWithoutAnswerFails) {
    HttpPeer peer({[](loopback::Peer&) {}});
    int result = httpGetToFile(peer.url("/x").c_str(), file_.c_str());
    peer.finish();
    EXPECT_NE(result, 0);
    EXPECT_NE(result, 404);
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HttpLoopback, NobodyListeningFails) {
    const std::string url = "http://127.0.0.1:" + std::to_string(loopback::unusedPort()) + "/x";
    int result = httpGetToFile(url.c_str(), file_.c_str(), 1000, 2000);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, 404);
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HttpLoopback, AnAnswerFileThatCannotBeOpenedGivesMinusTwo) {
    fs::create_directory(file_);
    HttpPeer peer({HttpPeer::answer("200 OK", "body")});
    EXPECT_EQ(httpGetToFile(peer.url("/x").c_str(), file_.c_str()), -2);
    peer.finish();
    EXPECT_EQ(peer.requests().size(), 1u);
}

TEST_F(HttpLoopback, AnHttpsUrlSpeaksTlsAndFailsAgainstPlainHttp) {
    HttpPeer peer({HttpPeer::answer("200 OK", "plain")});
    std::string url = peer.url("/x");
    url.replace(0, 4, "https");
    int result = httpGetToFile(url.c_str(), file_.c_str(), 1000, 2000);
    peer.finish();
    EXPECT_NE(result, 0);
    EXPECT_NE(result, 404);
    ASSERT_EQ(peer.requests().size(), 1u);
    EXPECT_NE(peer.requests()[0].rfind("GET ", 0), 0u); // a handshake, not a plain request
    EXPECT_FALSE(fs::exists(file_));
}

} // namespace
