#include "monitor/report/server_connection.hpp"
#include "platform/fake/fake_network.hpp"
#include "platform/fake/fake_platform.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int Refused = 10061;  // WSAECONNREFUSED
constexpr int Reset = 10054;    // WSAECONNRESET
constexpr int TimedOut = 10060; // WSAETIMEDOUT

class ServerConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::resetNetwork();
        fake::acceptConnections();
        connection_.address = "192.168.1.20";
        connection_.port = 25876;
    }

    // Later tests meet the fake network as it starts: nothing listening.
    void TearDown() override { fake::resetNetwork(); }

    fake::Network& net() { return fake::network(); }

    ServerConnection connection_;
};

TEST_F(ServerConnectionTest, WithoutAServerTheConnectionIsRefused) {
    fake::resetNetwork();
    EXPECT_EQ(openConnection(connection_), fake::ConnectionRefused);
    EXPECT_EQ(net().openSockets, 0);
}

TEST_F(ServerConnectionTest, OpensWithTheAddressPortAndStepTimeLimit) {
    EXPECT_EQ(openConnection(connection_), 0);
    const std::vector<std::string> expected = {"createTcpSocket",
                                               "connectTcp 3 192.168.1.20:25876 10000"};
    EXPECT_EQ(net().calls, expected);
    EXPECT_EQ(connection_.socket, 3);
    EXPECT_EQ(connection_.ownsSocketLibrary, 0);
    EXPECT_EQ(closeConnection(connection_), 0);
    EXPECT_EQ(connection_.socket, -1);
    EXPECT_EQ(net().openSockets, 0);
    EXPECT_EQ(fake::countNetworkCalls("stopSocketLibrary"), 0);
}

TEST_F(ServerConnectionTest, AShorterStepTimeLimitReachesEveryStep) {
    connection_.stepTimeLimitMilliseconds = 250;
    fake::queueReceive("hi");
    char buffer[8] = {};
    openConnection(connection_);
    receiveOnce(connection_, sizeof buffer, buffer);
    sendAll(connection_, 2, "ok");
    const std::vector<std::string> expected = {"createTcpSocket",
                                               "connectTcp 3 192.168.1.20:25876 250",
                                               "receiveSome 3 8 250", "sendSome 3 2 250"};
    EXPECT_EQ(net().calls, expected);
}

TEST_F(ServerConnectionTest, CreationFailuresOtherThanNotStartedEndTheOpen) {
    net().createErrors = {10050}; // WSAENETDOWN
    EXPECT_EQ(openConnection(connection_), 10050);
    EXPECT_EQ(connection_.socket, -1);
    EXPECT_EQ(fake::countNetworkCalls("startSocketLibrary"), 0);
    EXPECT_EQ(fake::countNetworkCalls("connectTcp"), 0);
}

TEST_F(ServerConnectionTest, AStoppedLibraryIsStartedForThisConnectionOnly) {
    net().createErrors = {SocketLibraryNotStarted};
    EXPECT_EQ(openConnection(connection_), 0);
    const std::vector<std::string> opened = {"createTcpSocket", "startSocketLibrary 258",
                                             "createTcpSocket",
                                             "connectTcp 3 192.168.1.20:25876 10000"};
    EXPECT_EQ(net().calls, opened);
    EXPECT_EQ(connection_.ownsSocketLibrary, 1);
    EXPECT_EQ(net().runningLibraries, 1);
    closeConnection(connection_);
    EXPECT_EQ(connection_.ownsSocketLibrary, 0);
    EXPECT_EQ(net().runningLibraries, 0);
    closeConnection(connection_); // a second close neither closes nor stops anything again
    EXPECT_EQ(fake::countNetworkCalls("closeSocket"), 1);
    EXPECT_EQ(fake::countNetworkCalls("stopSocketLibrary"), 1);
}

TEST_F(ServerConnectionTest, ALibraryThatCannotStartReportsItsOwnErrorNeverSuccess) {
    net().createErrors = {SocketLibraryNotStarted};
    net().startError = 10091; // WSASYSNOTREADY
    EXPECT_EQ(openConnection(connection_), 10091);
    EXPECT_EQ(connection_.ownsSocketLibrary, 0);
    EXPECT_EQ(fake::countNetworkCalls("createTcpSocket"), 1);
    EXPECT_EQ(fake::countNetworkCalls("stopSocketLibrary"), 0);
}

TEST_F(ServerConnectionTest, ASecondCreationFailureFailsTheOpenAndStopsTheLibrary) {
    net().createErrors = {SocketLibraryNotStarted, 10024}; // then WSAEMFILE
    EXPECT_EQ(openConnection(connection_), 10024);
    EXPECT_EQ(fake::countNetworkCalls("connectTcp"), 0);
    EXPECT_EQ(net().runningLibraries, 0);
    EXPECT_EQ(connection_.ownsSocketLibrary, 0);
}

TEST_F(ServerConnectionTest, AFailedConnectClosesWhatOpenMade) {
    net().createErrors = {SocketLibraryNotStarted};
    net().connectError = Refused;
    EXPECT_EQ(openConnection(connection_), Refused);
    EXPECT_EQ(connection_.lastError, Refused);
    EXPECT_EQ(connection_.socket, -1);
    EXPECT_EQ(net().openSockets, 0);
    EXPECT_EQ(net().runningLibraries, 0);
}

TEST_F(ServerConnectionTest, ArgumentChecksOfSendAndReceive) {
    char buffer[4] = {};
    const struct {
        const char* name;
        bool open;
        int size;
        bool withBuffer;
        int expected;
    } cases[] = {
        {"zero size", true, 0, true, ConnectionInvalidArgument},
        {"negative size", true, -5, true, ConnectionInvalidArgument},
        {"no buffer", true, 4, false, ConnectionInvalidArgument},
        {"no socket", false, 4, true, ConnectionNotConnected},
        // Both wrong: the first check's failure is the one kept.
        {"no socket and no buffer", false, 4, false, ConnectionInvalidArgument},
    };
    for (const auto& c : cases) {
        for (bool sending : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (sending ? " send" : " receive"));
            fake::resetNetwork();
            fake::acceptConnections();
            ServerConnection connection;
            connection.address = "127.0.0.1";
            if (c.open) {
                ASSERT_EQ(openConnection(connection), 0);
            }
            char* data = c.withBuffer ? buffer : nullptr;
            connection.received = 99;
            int result =
                sending ? sendAll(connection, c.size, data) : receiveOnce(connection, c.size, data);
            EXPECT_EQ(result, c.expected);
            EXPECT_EQ(connection.lastError, c.expected);
            EXPECT_EQ(fake::countNetworkCalls("sendSome") + fake::countNetworkCalls("receiveSome"),
                      0);
            if (!sending) {
                EXPECT_EQ(connection.received, 0);
            }
        }
    }
}

TEST_F(ServerConnectionTest, SendAllSendsTheRestUntilEverythingIsSent) {
    ASSERT_EQ(openConnection(connection_), 0);
    net().sendLimits = {3, 1, 100};
    EXPECT_EQ(sendAll(connection_, 10, "0123456789"), 0);
    EXPECT_EQ(connection_.sent, 10);
    EXPECT_EQ(net().sent, "0123456789");
    EXPECT_EQ(fake::countNetworkCalls("sendSome 3 10 "), 1);
    EXPECT_EQ(fake::countNetworkCalls("sendSome 3 7 "), 1);
    EXPECT_EQ(fake::countNetworkCalls("sendSome 3 6 "), 1);
}

TEST_F(ServerConnectionTest, ASendOfNothingEndsTheLoopWithoutAnError) {
    ASSERT_EQ(openConnection(connection_), 0);
    net().sendLimits = {4, 0};
    EXPECT_EQ(sendAll(connection_, 10, "0123456789"), 0);
    EXPECT_EQ(connection_.sent, 4);
    EXPECT_EQ(fake::countNetworkCalls("sendSome"), 2);
}

TEST_F(ServerConnectionTest, AFailedSendKeepsTheCountSentSoFar) {
    ASSERT_EQ(openConnection(connection_), 0);
    net().sendLimits = {6, -1};
    net().sendError = Reset;
    EXPECT_EQ(sendAll(connection_, 10, "0123456789"), Reset);
    EXPECT_EQ(connection_.sent, 6);
    EXPECT_EQ(net().sent, "012345");
}

TEST_F(ServerConnectionTest, AFailureWithoutAnErrorNumberStillFails) {
    ASSERT_EQ(openConnection(connection_), 0);
    net().sendLimits = {-1};
    net().sendError = 0;
    EXPECT_NE(sendAll(connection_, 3, "abc"), 0);
}

TEST_F(ServerConnectionTest, ReceiveMakesExactlyOneCallAndAClosedPeerIsSuccess) {
    ASSERT_EQ(openConnection(connection_), 0);
    fake::queueReceive("abc");
    fake::queueReceive("def");
    char buffer[16] = {};
    EXPECT_EQ(receiveOnce(connection_, sizeof buffer, buffer), 0);
    EXPECT_EQ(connection_.received, 3);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(fake::countNetworkCalls("receiveSome"), 1);
    fake::network().receives.clear(); // the peer closes
    EXPECT_EQ(receiveOnce(connection_, sizeof buffer, buffer), 0);
    EXPECT_EQ(connection_.received, 0);
}

TEST_F(ServerConnectionTest, TheFirstFailureSticksAndLaterStepsDoNothing) {
    ASSERT_EQ(openConnection(connection_), 0);
    fake::queueReceiveError(TimedOut);
    fake::queueReceive("reply");
    char buffer[16] = {};
    EXPECT_EQ(receiveOnce(connection_, sizeof buffer, buffer), TimedOut);
    EXPECT_EQ(connection_.received, 0);
    EXPECT_EQ(sendAll(connection_, 3, "abc"), TimedOut);
    EXPECT_EQ(receiveOnce(connection_, sizeof buffer, buffer), TimedOut);
    EXPECT_EQ(sendAll(connection_, 0, nullptr), TimedOut); // not replaced by 10022
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(fake::countNetworkCalls("sendSome"), 0);
    EXPECT_EQ(fake::countNetworkCalls("receiveSome"), 1);
    EXPECT_EQ(closeConnection(connection_), TimedOut);
    EXPECT_EQ(openConnection(connection_), 0); // a new open starts clean
}

} // namespace
