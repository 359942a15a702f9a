// The connection layer over the real socket backend, against peers that the
// test runs itself on 127.0.0.1.
#include "loopback_peer.hpp"
#include "monitor/report/server_connection.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int ShortLimit = 300;    // the step time limit these tests use
constexpr int PeerPatience = 5000; // how long a peer waits for the monitor's side
constexpr long long Slack = 2000;  // scheduling allowance on a busy machine

ServerConnection connectionTo(std::uint16_t port, int limit = ShortLimit) {
    ServerConnection c;
    c.address = "127.0.0.1";
    c.port = port;
    c.stepTimeLimitMilliseconds = limit;
    return c;
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + 1);
    }
    return bytes;
}

TEST(TcpLoopback, GreetingMessageAndReplyGoBothWays) {
    loopback::Listener listener;
    ASSERT_NE(listener.port(), 0);
    std::string received;
    std::thread server([&] {
        loopback::Peer peer = listener.accept(PeerPatience);
        peer.sendAll("welcome");
        received = peer.receive(PeerPatience, 2048);
        peer.sendAll(std::string("\x02tail", 5));
        peer.receive(PeerPatience); // until the monitor's side closes
    });
    ServerConnection c = connectionTo(listener.port(), ConnectionStepTimeLimitMilliseconds);
    ASSERT_EQ(openConnection(c), 0);
    char buffer[2048] = {};
    EXPECT_EQ(receiveOnce(c, sizeof buffer, buffer), 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(c.received)), "welcome");
    const std::string message = pattern(2048);
    EXPECT_EQ(sendAll(c, 2048, message.data()), 0);
    EXPECT_EQ(c.sent, 2048);
    EXPECT_EQ(receiveOnce(c, sizeof buffer, buffer), 0);
    EXPECT_GE(c.received, 1);
    EXPECT_EQ(buffer[0], '\x02');
    EXPECT_EQ(closeConnection(c), 0);
    server.join();
    EXPECT_EQ(received, message);
}

TEST(TcpLoopback, ASilentServerEndsTheReceiveAtTheTimeLimit) {
    loopback::Listener listener;
    std::thread server([&] {
        loopback::Peer peer = listener.accept(PeerPatience);
        peer.receive(PeerPatience); // accepts, then says nothing
    });
    ServerConnection c = connectionTo(listener.port());
    ASSERT_EQ(openConnection(c), 0);
    char buffer[64] = {};
    long long start = loopback::steadyMilliseconds();
    int error = receiveOnce(c, sizeof buffer, buffer);
    long long took = loopback::steadyMilliseconds() - start;
    EXPECT_NE(error, 0);
    EXPECT_EQ(c.received, 0);
    EXPECT_GE(took, ShortLimit - 50);
    EXPECT_LT(took, ShortLimit + Slack);
    EXPECT_EQ(sendAll(c, 4, "late"), error); // the failure sticks
    closeConnection(c);
    server.join();
}

TEST(TcpLoopback, AServerThatClosesEarlyGivesAnEmptyReplyAndFailedSends) {
    loopback::Listener listener;
    std::thread server([&] { listener.accept(PeerPatience).close(); });
    ServerConnection c = connectionTo(listener.port());
    ASSERT_EQ(openConnection(c), 0);
    server.join();
    char buffer[64] = {};
    EXPECT_EQ(receiveOnce(c, sizeof buffer, buffer), 0); // the close is not an error
    EXPECT_EQ(c.received, 0);
    // Sending into the closed connection must fail as an error, not end the
    // process with a signal.
    const std::string message = pattern(2048);
    int error = 0;
    for (int i = 0; i < 50 && error == 0; ++i) {
        error = sendAll(c, 2048, message.data());
        if (error == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_NE(error, 0);
    closeConnection(c);
}

TEST(TcpLoopback, NobodyListeningAndAddressesThatAreNotDottedTextFailTheOpen) {
    loopback::Listener listener;
    const struct {
        const char* address;
        std::uint16_t port;
    } cases[] = {
        {"127.0.0.1", loopback::unusedPort()},
        {"", listener.port()},
        {"localhost", listener.port()},
        {"256.0.0.1", listener.port()},
        {"1.2.3.4.5", listener.port()},
        {"127.0.0.one", listener.port()},
        {"::1", listener.port()},
        {nullptr, listener.port()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address != nullptr ? c.address : "(none)");
        ServerConnection connection = connectionTo(c.port);
        connection.address = c.address;
        long long start = loopback::steadyMilliseconds();
        EXPECT_NE(openConnection(connection), 0);
        EXPECT_LT(loopback::steadyMilliseconds() - start, ShortLimit + Slack);
        EXPECT_EQ(connection.socket, -1);
    }
}

TEST(TcpLoopback, AConnectThatIsNotAnsweredEndsAtTheTimeLimit) {
    // A listener that never accepts and has a full queue leaves further
    // connection attempts unanswered (or, on some systems, refuses them).
    loopback::Listener listener(0);
    std::vector<ServerConnection> held;
    bool failed = false;
    for (int i = 0; i < 8 && !failed; ++i) {
        ServerConnection c = connectionTo(listener.port());
        long long start = loopback::steadyMilliseconds();
        failed = openConnection(c) != 0;
        long long took = loopback::steadyMilliseconds() - start;
        if (failed) {
            EXPECT_LT(took, ShortLimit + Slack);
            EXPECT_EQ(c.socket, -1);
        } else {
            held.push_back(c);
        }
    }
    EXPECT_TRUE(failed);
    for (ServerConnection& c : held) {
        closeConnection(c);
    }
}

} // namespace
