// What only the POSIX backend promises beyond the portable tests: a stop
// signal cuts its waits short, and it checks the upgrade answer's head
// itself (the Windows backend leaves that to WinHTTP).
#include "platform/client_api.hpp"
#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"
#include "websocket_peer.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <pthread.h>
#include <string>
#include <thread>
#include <utility>

namespace {

using namespace loopback;

TEST(ClientApiPosix, AStopSignalCutsTheOpenAndTheWait) {
    platform::watchStopRequests();
    for (bool answer : {false, true}) { // unanswered, the signal lands in the open
        SCOPED_TRACE(answer);
        WebSocketPeer server([](WebSocketPeer& peer) { peer.next(Opcode::Close, 4 * Patience); },
                             answer);
        const long long start = steadyMilliseconds();
        std::thread ctrlC([target = pthread_self()] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            pthread_kill(target, SIGINT);
        });
        ApiConnection c = openApi(server.port(), 4 * Patience);
        EXPECT_EQ(c != nullptr, answer);
        platform::waitForClientApi(c.get(), 4 * Patience); // a sleep without a connection
        ctrlC.join();
        EXPECT_TRUE(platform::posix::takeStopRequest());
        EXPECT_LT(steadyMilliseconds() - start, 2 * Patience); // cut short, with a wide margin
    }
}

TEST(ClientApiPosix, AnAnswerThatIsNotAPlainUpgradeFailsTheOpenAtOnce) {
    // Each a change to the right answer.
    const std::pair<std::string, std::string> changes[] = {
        {"HTTP/1.1", "HTTP/1.0"},
        {" 101 ", " 1010 "},
        {"Upgrade: websocket\r\n", ""},
        {"Connection: Upgrade", "Connection: keep-alive"},
        {"\r\n\r\n", "\r\nSec-WebSocket-Extensions: permessage-deflate\r\n\r\n"},
        {"\r\n", "\r\nnonsense\r\n"},                   // a header line without a colon
        {"\r\n\r\n", "\r\n" + std::string(20000, 'x')}, // a head that never ends
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.second.substr(0, 60));
        WebSocketPeer server(
            [&](WebSocketPeer& peer) {
                std::string answer = peer.rightAnswer();
                peer.sendRaw(
                    answer.replace(answer.find(change.first), change.first.size(), change.second));
                peer.next(Opcode::Close, 4 * Patience); // until the client leaves
            },
            false);
        const long long start = steadyMilliseconds();
        EXPECT_EQ(openApi(server.port(), 4 * Patience), nullptr);
        EXPECT_LT(steadyMilliseconds() - start, Patience); // refused, not timed out
    }
}

} // namespace
