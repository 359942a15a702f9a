#include "common/text.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/report/client_service.hpp"
#include "monitor/report/companion_link.hpp"
#include "platform/fake/fake_network.hpp"
#include "platform/fake/fake_platform.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::size_t MessageSize = 2048;
const std::string Record =
    "2 3 45 p2665_IBX_in_water 0 2400.000000 GenuineIntel GROMACS 100 212 Tom 33 0";
// What our own server reads behind the record's zero byte.
const std::string Extension = "VGX1 source=file ctl=0";

class CompanionLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshFakes();
        copyText(state_.serverAddress, "10.0.0.7");
        state_.cpuNumber = 2;
        state_.unitCount = 3;
        state_.progressPercent = 45;
        copyText(state_.unitName, "p2665_IBX_in_water");
        state_.cpuMhz = 2400.0f;
        copyText(state_.cpuVendor, "GenuineIntel");
        copyText(state_.coreName, "GROMACS");
        state_.unitFrames = 100;
        state_.unitPoints = 212;
        copyText(state_.userName, "Tom");
        state_.teamNumber = 33;
        copyText(state_.serviceName, "FAH@C:\\FAH\\FAH502-Console.exe");
    }

    // Later tests meet the fake network as it starts: nothing listening.
    void TearDown() override { fake::resetNetwork(); }

    // Fresh fakes with a companion server listening.
    static void freshFakes() {
        fake::reset();
        fake::resetNetwork();
        fake::acceptConnections();
    }

    // The record sent: the message's text up to its terminating zero.
    static std::string recordSent() {
        return fake::network().sent.substr(0, fake::network().sent.find('\0'));
    }

    // One exchange whose greeting is "hello" and whose reply is reply.
    int exchangeWithReply(const std::string& reply) {
        fake::queueReceive("hello");
        fake::queueReceive(reply);
        return exchangeStatus(state_);
    }

    MonitorState state_;
};

TEST_F(CompanionLinkTest, ExchangeOrderAndTheRecordsExactText) {
    EXPECT_EQ(exchangeWithReply(std::string(1, '\0')), 1);
    const std::vector<std::string> expected = {
        "createTcpSocket",       "connectTcp 3 10.0.0.7:25876 10000", "receiveSome 3 2048 10000",
        "sendSome 3 2048 10000", "receiveSome 3 2048 10000",          "closeSocket 3"};
    EXPECT_EQ(fake::network().calls, expected);
    EXPECT_EQ(fake::network().sent.size(), MessageSize);
    EXPECT_EQ(recordSent(), Record);

    freshFakes(); // empty text fields leave two blanks side by side; the tray mode is last
    state_.cpuVendor[0] = '\0';
    state_.cpuMhz = 0.0f;
    state_.userName[0] = '\0';
    state_.trayMode = 1;
    exchangeWithReply("x");
    EXPECT_EQ(recordSent(), "2 3 45 p2665_IBX_in_water 0 0.000000  GROMACS 100 212  33 1");
}

TEST_F(CompanionLinkTest, AGreetingsTailStaysBehindTheRecordsZero) {
    for (std::size_t size : {std::size_t{300}, MessageSize}) { // the greeting fills all of it too
        SCOPED_TRACE(size);
        freshFakes();
        fake::queueReceive(std::string(size, 'G'));
        exchangeStatus(state_);
        ASSERT_EQ(fake::network().sent.size(), MessageSize);
        // Our own extension follows the record's zero; the rest of the tail stays.
        const std::string head = Record + '\0' + Extension + '\0';
        EXPECT_TRUE(fake::network().sent == head + std::string(size - head.size(), 'G') +
                                                std::string(MessageSize - size, '\0'));
    }
}

TEST_F(CompanionLinkTest, RepliesAndWhatTheyDo) {
    const struct {
        const char* name;
        std::string reply;
        int remoteControl;
        int command;  // lastServerCommand afterwards
        int trayMode; // afterwards, from 0
        bool restarts;
    } cases[] = {
        {"nothing (server closed)", "", 1, 0, 0, false},
        {"zero", std::string(1, '\0'), 1, 0, 0, false},
        {"stop", "\x01", 1, 1, 0, false},
        {"stop, only the first byte counts", "\x01\x02\x03", 1, 1, 0, false},
        {"toggle tray without a window (silent)", "\x02", 0, 0, 1, false},
        {"restart with remote control", "\x03", 1, 0, 0, true},
        {"restart without remote control", "\x03", 0, 3, 0, false},
        {"restart with remote control 2", "\x03", 2, 3, 0, false},
        {"unknown", "\x07", 1, 7, 0, false},
        {"0x81 is -127", "\x81", 1, -127, 0, false},
        {"0x83 is -125", "\x83", 1, -125, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshFakes();
        state_.trayMode = 0;
        state_.lastServerCommand = 55;
        state_.remoteControlEnabled = c.remoteControl;
        EXPECT_EQ(exchangeWithReply(c.reply), 1);
        EXPECT_EQ(state_.lastServerCommand, c.command);
        EXPECT_EQ(state_.trayMode, c.trayMode);
        EXPECT_EQ(fake::network().serviceCommands.size(), c.restarts ? 2u : 0u);
        EXPECT_EQ(fake::network().openSockets, 0);
        EXPECT_TRUE(fake::platform().calls.empty()); // nothing shown or hidden without a window
    }
}

TEST_F(CompanionLinkTest, ToggleWithAWindowSwitchesToTheTray) {
    state_.window = &state_; // any window
    exchangeWithReply("\x02");
    EXPECT_EQ(state_.trayMode, 1);
    EXPECT_EQ(fake::countCalls("hideWindow") + fake::countCalls("notifyTray add"), 2);
}

TEST_F(CompanionLinkTest, AFailedStepEndsTheExchange) {
    const struct {
        const char* name;
        int connectError;
        int greetingError;
        int sendError;
        int result;
        int sends, receives, command;
    } cases[] = {
        {"open: nothing else changes", 10061, 0, 0, 0, 0, 0, 7},
        {"greeting: nothing sent, command 0", 0, 10060, 0, 1, 0, 1, 0},
        {"send: no reply read, command 0", 0, 0, 10054, 1, 1, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshFakes();
        fake::network().connectError = c.connectError;
        c.greetingError != 0 ? fake::queueReceiveError(c.greetingError) : fake::queueReceive("hi");
        fake::queueReceive("\x01"); // never read
        if (c.sendError != 0) {
            fake::network().sendLimits = {-1};
            fake::network().sendError = c.sendError;
        }
        state_.lastServerCommand = 7;
        copyText(state_.messageBuffer, "M");
        EXPECT_EQ(exchangeStatus(state_), c.result);
        EXPECT_EQ(fake::countNetworkCalls("sendSome"), c.sends);
        EXPECT_EQ(fake::countNetworkCalls("receiveSome"), c.receives);
        EXPECT_EQ(state_.lastServerCommand, c.command);
        EXPECT_EQ(state_.messageBuffer[0] == 'M', c.result == 0);
        EXPECT_EQ(fake::network().openSockets, 0);
    }
}

TEST_F(CompanionLinkTest, TheFinalRecordIsMarkedAndNeitherGreetedNorAnswered) {
    copyText(state_.messageBuffer, std::string(150, 'R').c_str()); // what the last exchange left
    fake::queueReceive("greeting nobody reads");
    EXPECT_EQ(sendFinalStatus(state_), 1);
    EXPECT_EQ(state_.monitorClosing, 1);
    const std::vector<std::string> expected = {"createTcpSocket",
                                               "connectTcp 3 10.0.0.7:25876 10000",
                                               "sendSome 3 2048 10000", "closeSocket 3"};
    EXPECT_EQ(fake::network().calls, expected);
    std::string record = Record;
    record[26] = '1';
    const std::string head = record + '\0' + Extension + '\0';
    EXPECT_EQ(fake::network().sent.substr(0, 151),
              head + std::string(150 - head.size(), 'R') + '\0');

    freshFakes(); // no server: still marked closing
    fake::network().connectError = fake::ConnectionRefused;
    state_.monitorClosing = 0;
    EXPECT_EQ(sendFinalStatus(state_), 0);
    EXPECT_EQ(state_.monitorClosing, 1);
    EXPECT_TRUE(fake::network().sent.empty());
}

TEST_F(CompanionLinkTest, RestartStopsWaitsFiveSecondsAndStartsAServiceThatCanBeNamed) {
    const struct {
        const char* name;
        std::string service;
        bool runs;
    } cases[] = {
        {"ordinary", "FAH@C:\\Program Files\\FAH\\FAH502-Console.exe", true},
        {"empty", "", false},
        {"double quote", "FAH\" & del x", false},
        {"percent", "FAH%PATH%", false},
        {"tab", "FAH\tx", false},
        {"line end", "FAH\nnet user", false},
        {"delete character", "FAH\x7f", false},
        {"ampersand alone is one argument", "FAH&calc", true},
        {"8-bit letters", "FAH@C:\\Benutzer\\J\xf6rg", true},
        {"the longest name is never cut", std::string(300, 's'), true}, // 255 kept of 300
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshFakes();
        copyText(state_.serviceName, c.service.c_str());
        EXPECT_EQ(serviceNameIsUsable(state_.serviceName), c.runs);
        EXPECT_EQ(restartClientService(state_), c.runs ? 1 : 0);
        const auto& commands = fake::network().serviceCommands;
        ASSERT_EQ(commands.size(), c.runs ? 2u : 0u);
        for (const auto& command : commands) {
            EXPECT_EQ(command.name, c.service.substr(0, 255));
            EXPECT_EQ(command.timeoutMilliseconds, ServiceCommandTimeLimitMilliseconds);
            EXPECT_EQ(command.action, &command == &commands[0] ? platform::ServiceAction::Stop
                                                               : platform::ServiceAction::Start);
        }
        EXPECT_EQ(fake::platform().sleptMilliseconds, c.runs ? ServiceRestartPauseMilliseconds : 0);
        if (c.runs) {
            EXPECT_EQ(commands[1].sleptBefore - commands[0].sleptBefore,
                      ServiceRestartPauseMilliseconds);
        }
    }
}

} // namespace
