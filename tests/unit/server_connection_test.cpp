#include "monitor/report/server_connection.hpp"
#include "platform/fake/fake_network.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

class ServerConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::resetNetwork();
        fake::acceptConnections();
        connection_.address = "192.168.1.20";
        connection_.port = 25876;
    }

    // Later tests meet the fake network as it starts: nothing listening.
    void TearDown() override { fake::resetNetwork(); }

    static fake::Network& net() { return fake::network(); }

    ServerConnection connection_;
};

TEST_F(ServerConnectionTest, AStoppedLibraryIsStartedForThisConnectionOnly) {
    net().createErrors = {SocketLibraryNotStarted};
    EXPECT_EQ(openConnection(connection_), 0);
    EXPECT_EQ(fake::countNetworkCalls("startSocketLibrary 258"), 1);
    EXPECT_EQ(fake::countNetworkCalls("createTcpSocket"), 2);
    EXPECT_EQ(net().runningLibraries, 1);
    closeConnection(connection_);
    closeConnection(connection_); // a second close neither closes nor stops anything again
    EXPECT_EQ(net().runningLibraries, 0);
    EXPECT_EQ(fake::countNetworkCalls("closeSocket"), 1);
    EXPECT_EQ(fake::countNetworkCalls("stopSocketLibrary"), 1);
}

TEST_F(ServerConnectionTest, AFailedOpenReportsItsErrorAndLeavesNothingOpen) {
    const int NotStarted = SocketLibraryNotStarted, Refused = fake::ConnectionRefused;
    const struct {
        const char* name;
        std::deque<int> createErrors;
        int startError;
        int connectError;
        int result;
    } cases[] = {
        {"creation fails (not: not started)", {10050}, 0, 0, 10050},
        {"the library cannot start", {NotStarted}, 10091, 0, 10091},
        {"the second creation fails", {NotStarted, 10024}, 0, 0, 10024},
        {"refused", {}, 0, Refused, Refused},
        {"refused after starting the library", {NotStarted}, 0, Refused, Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::resetNetwork();
        net().createErrors = c.createErrors;
        net().startError = c.startError;
        net().connectError = c.connectError;
        ServerConnection connection;
        connection.address = "192.168.1.20";
        EXPECT_EQ(openConnection(connection), c.result);
        EXPECT_EQ(connection.lastError, c.result);
        EXPECT_EQ(connection.socket, -1);
        EXPECT_EQ(net().openSockets, 0);
        EXPECT_EQ(net().runningLibraries, 0);
        EXPECT_EQ(fake::countNetworkCalls("connectTcp"), c.connectError != 0 ? 1 : 0);
    }
}

TEST_F(ServerConnectionTest, SendAllSendsTheRestUntilDoneNothingMoreOrAFailure) {
    const struct {
        const char* name;
        std::deque<int> limits; // per call: the most bytes taken, or -1 to fail
        int error;
        int result;
        std::string sent;
    } cases[] = {
        {"everything, piece by piece", {3, 1, 100}, 0, 0, "0123456789"},
        {"a send of nothing ends without an error", {4, 0}, 0, 0, "0123"},
        {"a failure keeps the count sent so far", {6, -1}, 10054, 10054, "012345"},
        {"a failure without an error number still fails", {-1}, 0, -1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::resetNetwork();
        fake::acceptConnections();
        ServerConnection connection;
        connection.address = "127.0.0.1";
        ASSERT_EQ(openConnection(connection), 0);
        net().sendLimits = c.limits;
        net().sendError = c.error;
        EXPECT_EQ(sendAll(connection, 10, "0123456789"), c.result);
        EXPECT_EQ(connection.sent, static_cast<int>(c.sent.size()));
        EXPECT_EQ(net().sent, c.sent);
        EXPECT_EQ(fake::countNetworkCalls("sendSome"), static_cast<int>(c.limits.size()));
    }
}

TEST_F(ServerConnectionTest, TheFirstFailureSticksEvenOverBadArguments) {
    ServerConnection notOpen, bothWrong, open;
    EXPECT_EQ(sendAll(notOpen, 3, "abc"), ConnectionNotConnected);
    EXPECT_EQ(receiveOnce(bothWrong, 4, nullptr), ConnectionInvalidArgument); // the first check's
    open.address = "127.0.0.1";
    ASSERT_EQ(openConnection(open), 0);
    EXPECT_EQ(sendAll(open, -5, "abc"), ConnectionInvalidArgument);

    char buffer[16] = {};
    ASSERT_EQ(openConnection(connection_), 0);
    fake::queueReceiveError(10060);
    fake::queueReceive("reply");
    EXPECT_EQ(receiveOnce(connection_, sizeof buffer, buffer), 10060);
    EXPECT_EQ(sendAll(connection_, 3, "abc"), 10060);
    connection_.received = 99;
    EXPECT_EQ(receiveOnce(connection_, sizeof buffer, buffer), 10060);
    EXPECT_EQ(connection_.received, 0);
    EXPECT_EQ(sendAll(connection_, 0, nullptr), 10060); // not replaced by 10022
    EXPECT_EQ(fake::countNetworkCalls("sendSome") + fake::countNetworkCalls("receiveSome"), 1);
    EXPECT_EQ(closeConnection(connection_), 10060);
}

} // namespace
