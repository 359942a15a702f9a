// The download over the real HTTP backend, against a small HTTP server that
// the test runs itself on 127.0.0.1.
#include "loopback_peer.hpp"
#include "monitor/report/http_download.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int PeerPatience = 5000;
constexpr long long Slack = 3000;
constexpr int AnyFailure = -1000; // neither success nor 404: the number is the platform's

using Handler = std::function<void(loopback::Peer&)>;

// A whole answer with the given status line, headers and body.
Handler answer(const std::string& status, const std::string& body,
               const std::string& headers = "") {
    return [=](loopback::Peer& peer) {
        peer.sendAll("HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\nConnection: close\r\n" + headers + "\r\n" + body);
    };
}

// Serves one connection with the handler and records its request head. A
// client that followed a redirect would come back: a second request is
// recorded too. The thread ends when no connection arrives in time.
class HttpPeer {
public:
    explicit HttpPeer(Handler handler) {
        thread_ = std::thread([this, handler] {
            for (int i = 0; i < 2; ++i) {
                loopback::Peer peer = listener_.accept(i == 0 ? PeerPatience : 200);
                if (!peer.valid()) {
                    return;
                }
                requests_.push_back(peer.receive(PeerPatience, SIZE_MAX, "\r\n\r\n"));
                handler(peer);
            }
        });
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

private:
    loopback::Listener listener_;
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

    fs::path folder_;
    std::string file_;
};

TEST_F(HttpLoopback, AnAnswerIsSavedByteForByteAndTheRequestIsAsBuilt) {
    std::string body(300000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>((i * 31) ^ (i >> 8));
    }
    HttpPeer peer(answer("200 OK", body));
    const std::string path = "/folding/unitstats.php?username=Tom%26Jerry&team=33&cpustring="
                             "_Intel%28R%29_Core&frametime=12.500000&memory=512";
    EXPECT_EQ(httpGetToFile(peer.url(path).c_str(), file_.c_str()), 0);
    peer.finish();
    EXPECT_EQ(saved(), body);
    ASSERT_EQ(peer.requests().size(), 1u);
    const std::string& head = peer.requests()[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET " + path + " HTTP/1.1");
    EXPECT_NE(head.find("\r\nUser-Agent: lcc WinHTTP/1.0\r\n"), std::string::npos);
}

TEST_F(HttpLoopback, WhatIsSavedOfEachAnswerAndEveryFailureEndsInTime) {
    const Handler partBody = [](loopback::Peer& p) {
        p.sendAll("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
    };
    const struct {
        const char* name;
        Handler handler; // none: nobody listens
        int result;
        const char* saved; // null: no file
    } cases[] = {
        {"404 creates no file", answer("404 Not Found", "gone"), 404, nullptr},
        {"a redirect is not followed", answer("302 Found", "moved", "Location: /elsewhere\r\n"), 0,
         "moved"},
        {"chunked",
         [](loopback::Peer& p) {
             p.sendAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                       "5\r\nhello\r\n");
             std::this_thread::sleep_for(std::chrono::milliseconds(50));
             p.sendAll("6\r\n world\r\n0\r\n\r\n");
         },
         0, "hello world"},
        {"silent server", [](loopback::Peer& p) { p.receive(PeerPatience); }, AnyFailure, nullptr},
        {"body stalls",
         [&](loopback::Peer& p) {
             partBody(p);
             p.receive(PeerPatience);
         },
         AnyFailure, "0123456789"},
        {"body cut short", partBody, AnyFailure, "0123456789"},
        {"closed without an answer", [](loopback::Peer&) {}, AnyFailure, nullptr},
        {"nobody listening", nullptr, AnyFailure, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(file_);
        std::optional<HttpPeer> peer;
        const std::string url =
            c.handler ? peer.emplace(c.handler).url("/x")
                      : "http://127.0.0.1:" + std::to_string(loopback::unusedPort()) + "/x";
        long long start = loopback::steadyMilliseconds();
        int result = httpGetToFile(url.c_str(), file_.c_str(), 500, 800);
        EXPECT_LT(loopback::steadyMilliseconds() - start, 800 + Slack);
        if (c.result == AnyFailure) {
            EXPECT_NE(result, 0);
            EXPECT_NE(result, 404);
        } else {
            EXPECT_EQ(result, c.result);
        }
        EXPECT_EQ(fs::exists(file_), c.saved != nullptr);
        EXPECT_EQ(saved(), c.saved != nullptr ? c.saved : "");
        if (peer) {
            peer->finish();
            EXPECT_EQ(peer->requests().size(), 1u);
        }
    }
}

} // namespace
