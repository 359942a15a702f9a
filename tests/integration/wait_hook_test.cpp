// The real backends' sliced waits serve the wait hook between their slices,
// and a quit request the hook posts (a close box taken during the wait)
// ends the wait early as a failed step.
#include "loopback_peer.hpp"
#include "monitor/report/http_download.hpp"
#include "monitor/report/server_connection.hpp"
#include "platform/clock.hpp"
#include "platform/messages.hpp"
#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr int Limit = 20000;      // far longer than any wait below may take
constexpr long long Slack = 3000; // scheduling allowance on a busy machine
constexpr int CallsBeforeClose = 3;

int hookCalls = 0;

void closeOnThirdCall(void*) {
    if (++hookCalls == CallsBeforeClose) {
        platform::postQuit(0);
    }
}

// The listener's backlog accepts every connection; nobody ever answers.
bool receiveFromSilentPeer(std::uint16_t port) {
    ServerConnection c;
    c.address = "127.0.0.1";
    c.port = port;
    c.stepTimeLimitMilliseconds = Limit;
    char buffer[64] = {};
    bool failed = openConnection(c) == 0 && receiveOnce(c, sizeof buffer, buffer) != 0;
    closeConnection(c);
    return failed;
}

bool requestFromSilentPeer(std::uint16_t port) {
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/x";
    const std::string file =
        (std::filesystem::temp_directory_path() / "vigilon-wait-hook.html").string();
    return httpGetToFile(url.c_str(), file.c_str(), Limit, Limit) != 0;
}

bool pause(std::uint16_t) {
    platform::sleepMilliseconds(Limit);
    return true;
}

TEST(WaitHook, AQuitPostedFromTheHookEndsEachSlicedWait) {
    loopback::bypassProxies();
    const struct {
        const char* name;
        std::function<bool(std::uint16_t)> wait; // true: ended as a failed step
    } cases[] = {
        {"receive", receiveFromSilentPeer},
        {"HTTP request", requestFromSilentPeer},
        {"pause", pause},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        loopback::Listener listener;
        hookCalls = 0;
        platform::setWaitHook(closeOnThirdCall, nullptr);
        long long start = loopback::steadyMilliseconds();
        EXPECT_TRUE(c.wait(listener.port()));
        EXPECT_LT(loopback::steadyMilliseconds() - start, Slack);
        platform::setWaitHook(nullptr, nullptr);
        EXPECT_EQ(hookCalls, CallsBeforeClose);
        EXPECT_TRUE(platform::stopRequested());
        platform::Message message;
        while (platform::takeMessage(message) && !message.isQuit) {
        }
        EXPECT_TRUE(message.isQuit);
        EXPECT_FALSE(platform::stopRequested());
    }
}

} // namespace
