#include "common/text.hpp"
#include "monitor/monitor_main.hpp"
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

int windowToken = 0; // stands in for a shown status window

class CompanionLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::resetNetwork();
        fake::acceptConnections();
        copyText(state_.serverAddress, "10.0.0.7");
        state_.serverLinkEnabled = 1;
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

    // The record of a message: the text up to its terminating zero.
    static std::string recordOf(const std::string& message) {
        return message.substr(0, message.find('\0'));
    }

    // The thirteen blank-separated fields of a record.
    static std::vector<std::string> fieldsOf(const std::string& record) {
        std::vector<std::string> fields(1);
        for (char c : record) {
            if (c == ' ') {
                fields.emplace_back();
            } else {
                fields.back() += c;
            }
        }
        return fields;
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
    ASSERT_EQ(fake::network().sent.size(), MessageSize);
    EXPECT_EQ(recordOf(fake::network().sent),
              "2 3 45 p2665_IBX_in_water 0 2400.000000 GenuineIntel GROMACS 100 212 Tom 33 0");
    EXPECT_EQ(fieldsOf(recordOf(fake::network().sent)).size(), 13u);
    EXPECT_EQ(state_.serverConnection.port, CompanionServerPort);
    EXPECT_EQ(state_.serverConnection.address, state_.serverAddress);
}

TEST_F(CompanionLinkTest, AGreetingsTailStaysBehindTheRecordsZero) {
    const std::size_t sizes[] = {300, MessageSize}; // a greeting that fills the whole buffer too
    for (std::size_t size : sizes) {
        fake::resetNetwork();
        fake::acceptConnections();
        fake::queueReceive(std::string(size, 'G'));
        fake::queueReceive(std::string(1, '\0'));
        exchangeStatus(state_);
        const std::string& sent = fake::network().sent;
        ASSERT_EQ(sent.size(), MessageSize);
        const std::string record = recordOf(sent);
        ASSERT_LT(record.size(), 299u);
        EXPECT_EQ(sent[record.size()], '\0');
        EXPECT_EQ(sent.substr(record.size() + 1, size - record.size() - 1),
                  std::string(size - record.size() - 1, 'G'));
        EXPECT_EQ(sent.substr(size), std::string(MessageSize - size, '\0'));
    }
}

TEST_F(CompanionLinkTest, EmptyTextFieldsLeaveTwoBlanksSideBySide) {
    state_.cpuVendor[0] = '\0';
    state_.cpuMhz = 0.0f;
    state_.userName[0] = '\0';
    exchangeWithReply("x");
    EXPECT_EQ(recordOf(fake::network().sent),
              "2 3 45 p2665_IBX_in_water 0 0.000000  GROMACS 100 212  33 0");
}

TEST_F(CompanionLinkTest, RepliesAndWhatTheyDo) {
    const struct {
        const char* name;
        std::string reply;
        int remoteControl;
        int command;  // lastServerCommand afterwards
        int trayMode; // afterwards, from 0
        std::size_t restarts;
    } cases[] = {
        {"nothing (server closed)", "", 1, 0, 0, 0},
        {"zero", std::string(1, '\0'), 1, 0, 0, 0},
        {"stop", "\x01", 1, 1, 0, 0},
        {"stop, only the first byte counts", "\x01\x02\x03", 1, 1, 0, 0},
        {"toggle tray", "\x02", 0, 0, 1, 0},
        {"restart with remote control", "\x03", 1, 0, 0, 1},
        {"restart without remote control", "\x03", 0, 3, 0, 0},
        {"restart with remote control 2", "\x03", 2, 3, 0, 0},
        {"unknown", "\x07", 1, 7, 0, 0},
        {"0x81 is -127", "\x81", 1, -127, 0, 0},
        {"0x83 is -125", "\x83", 1, -125, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::resetNetwork();
        fake::acceptConnections();
        state_.trayMode = 0;
        state_.lastServerCommand = 55;
        state_.remoteControlEnabled = c.remoteControl;
        EXPECT_EQ(exchangeWithReply(c.reply), 1);
        EXPECT_EQ(state_.lastServerCommand, c.command);
        EXPECT_EQ(state_.trayMode, c.trayMode);
        EXPECT_EQ(fake::network().serviceCommands.size(), 2 * c.restarts);
        EXPECT_EQ(fake::network().openSockets, 0);
    }
}

TEST_F(CompanionLinkTest, ToggleWithAWindowSwitchesToTheTrayAndTheNextRecordSaysSo) {
    state_.window = &windowToken;
    exchangeWithReply("\x02");
    EXPECT_EQ(state_.trayMode, 1);
    EXPECT_EQ(fake::countCalls("hideWindow"), 1);
    EXPECT_EQ(fake::countCalls("notifyTray add"), 1);
    EXPECT_EQ(fieldsOf(recordOf(fake::network().sent))[12], "0"); // the value before the command

    fake::resetNetwork();
    fake::acceptConnections();
    exchangeWithReply("\x02");
    EXPECT_EQ(fieldsOf(recordOf(fake::network().sent))[12], "1");
    EXPECT_EQ(state_.trayMode, 0);
    EXPECT_EQ(fake::countCalls("notifyTray delete"), 1);
    EXPECT_EQ(fake::countCalls("showWindowRestored"), 1);
}

TEST_F(CompanionLinkTest, ToggleInSilentModeOnlyInvertsTrayMode) {
    state_.silentMode = 1;
    state_.window = nullptr;
    exchangeWithReply("\x02");
    EXPECT_EQ(state_.trayMode, 1);
    EXPECT_EQ(state_.lastServerCommand, 0);
    EXPECT_TRUE(fake::platform().calls.empty());
    EXPECT_TRUE(fake::platform().trayRecords.empty());
}

TEST_F(CompanionLinkTest, AFailedOpenChangesNothing) {
    fake::network().connectError = 10061;
    state_.lastServerCommand = 7;
    copyText(state_.messageBuffer, "M");
    EXPECT_EQ(exchangeStatus(state_), 0);
    EXPECT_EQ(state_.lastServerCommand, 7);
    EXPECT_EQ(state_.messageBuffer[0], 'M');
    EXPECT_EQ(fake::countNetworkCalls("sendSome"), 0);
    EXPECT_EQ(fake::countNetworkCalls("receiveSome"), 0);
    EXPECT_EQ(fake::network().openSockets, 0);
}

TEST_F(CompanionLinkTest, AFailedGreetingSendsNothingAndReadsCommandZero) {
    fake::queueReceiveError(10060);
    fake::queueReceive("\x01");
    state_.lastServerCommand = 7;
    EXPECT_EQ(exchangeStatus(state_), 1);
    EXPECT_EQ(fake::countNetworkCalls("sendSome"), 0);
    EXPECT_EQ(fake::countNetworkCalls("receiveSome"), 1);
    EXPECT_EQ(state_.lastServerCommand, 0);
    EXPECT_EQ(fake::countNetworkCalls("closeSocket"), 1);
}

TEST_F(CompanionLinkTest, AFailedSendReadsNoReply) {
    fake::queueReceive("hello");
    fake::queueReceive("\x01");
    fake::network().sendLimits = {-1};
    fake::network().sendError = 10054;
    EXPECT_EQ(exchangeStatus(state_), 1);
    EXPECT_EQ(fake::countNetworkCalls("receiveSome"), 1);
    EXPECT_EQ(state_.lastServerCommand, 0);
}

TEST_F(CompanionLinkTest, TheLibraryStartedForAnExchangeIsStoppedByIt) {
    fake::network().createErrors = {10093};
    exchangeWithReply("\x01");
    EXPECT_EQ(fake::countNetworkCalls("startSocketLibrary 258"), 1);
    EXPECT_EQ(fake::network().calls.back(), "stopSocketLibrary");
    EXPECT_EQ(fake::network().runningLibraries, 0);
}

TEST_F(CompanionLinkTest, TheFinalRecordIsMarkedAndNeitherGreetedNorAnswered) {
    copyText(state_.messageBuffer, std::string(99, 'R').c_str()); // what the last exchange left
    fake::queueReceive("greeting nobody reads");
    EXPECT_EQ(sendFinalStatus(state_), 1);
    EXPECT_EQ(state_.monitorClosing, 1);
    const std::vector<std::string> expected = {"createTcpSocket",
                                               "connectTcp 3 10.0.0.7:25876 10000",
                                               "sendSome 3 2048 10000", "closeSocket 3"};
    EXPECT_EQ(fake::network().calls, expected);
    const std::string& sent = fake::network().sent;
    const std::string record = recordOf(sent);
    EXPECT_EQ(record,
              "2 3 45 p2665_IBX_in_water 1 2400.000000 GenuineIntel GROMACS 100 212 Tom 33 0");
    EXPECT_EQ(sent.substr(record.size() + 1, 99 - record.size() - 1),
              std::string(99 - record.size() - 1, 'R'));
    EXPECT_EQ(sent[99], '\0');
}

TEST_F(CompanionLinkTest, AFinalRecordThatCannotConnectStillMarksClosing) {
    fake::network().connectError = 10061;
    EXPECT_EQ(sendFinalStatus(state_), 0);
    EXPECT_EQ(state_.monitorClosing, 1);
    EXPECT_TRUE(fake::network().sent.empty());
}

TEST_F(CompanionLinkTest, StopCommandEndsTheLoopAndTheFinalRecordFollows) {
    state_.silentMode = 1;
    exchangeWithReply("\x01");
    int code = -1;
    EXPECT_EQ(runIdlePass(state_, code), PassResult::ServerStop);
    fake::resetNetwork();
    fake::acceptConnections();
    shutdownMonitor(state_);
    EXPECT_EQ(recordOf(fake::network().sent).substr(0, 28), "2 3 45 p2665_IBX_in_water 1 ");
}

TEST_F(CompanionLinkTest, RestartStopsWaitsFiveSecondsAndStarts) {
    state_.remoteControlEnabled = 1;
    exchangeWithReply("\x03");
    const auto& commands = fake::network().serviceCommands;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].action, platform::ServiceAction::Stop);
    EXPECT_EQ(commands[1].action, platform::ServiceAction::Start);
    EXPECT_EQ(commands[0].name, "FAH@C:\\FAH\\FAH502-Console.exe");
    EXPECT_EQ(commands[1].name, commands[0].name);
    EXPECT_EQ(commands[1].sleptBefore - commands[0].sleptBefore, ServiceRestartPauseMilliseconds);
    EXPECT_EQ(commands[0].timeoutMilliseconds, ServiceCommandTimeLimitMilliseconds);
}

TEST_F(CompanionLinkTest, ServiceNamesThatCannotBeRunRunNothing) {
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::resetNetwork();
        copyText(state_.serviceName, c.service.c_str());
        EXPECT_EQ(serviceNameIsUsable(state_.serviceName), c.runs);
        EXPECT_EQ(restartClientService(state_), c.runs ? 1 : 0);
        EXPECT_EQ(fake::network().serviceCommands.size(), c.runs ? 2u : 0u);
        EXPECT_EQ(fake::platform().sleptMilliseconds, c.runs ? ServiceRestartPauseMilliseconds : 0);
    }
}

TEST_F(CompanionLinkTest, TheLongestServiceNameIsNeverCut) {
    copyText(state_.serviceName, std::string(300, 's').c_str());
    restartClientService(state_);
    ASSERT_EQ(fake::network().serviceCommands.size(), 2u);
    EXPECT_EQ(fake::network().serviceCommands[0].name, std::string(255, 's'));
    EXPECT_EQ(fake::network().serviceCommands[1].name, std::string(255, 's'));
}

} // namespace
