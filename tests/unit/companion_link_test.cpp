#include "common/text.hpp"
#include "monitor/client_api/api_source.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/report/client_service.hpp"
#include "monitor/report/companion_link.hpp"
#include "platform/fake/fake_client_api.hpp"
#include "platform/fake/fake_network.hpp"
#include "platform/fake/fake_platform.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr std::size_t MessageSize = 2048;
const std::string Record =
    "2 3 45 p2665_IBX_in_water 0 2400.000000 GenuineIntel GROMACS 100 212 Tom 33 1";
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
        state_.trayMode = 1; // the last field; no window: nothing to show or hide
        copyText(state_.serviceName, "FAH@C:\\FAH\\FAH502-Console.exe");
    }

    // Fresh fakes with a companion server listening.
    static void freshFakes() {
        fake::reset();
        fake::resetNetwork();
        fake::resetClientApi();
        fake::acceptConnections();
    }

    // One exchange whose greeting is "hello" and whose reply is reply.
    int exchangeWithReply(const std::string& reply) {
        fake::queueReceive("hello");
        fake::queueReceive(reply);
        return exchangeStatus(state_);
    }

    MonitorState state_;
};

TEST_F(CompanionLinkTest, ExchangeOrderAndTheMessagesExactBytes) {
    EXPECT_EQ(exchangeWithReply(std::string(1, '\0')), 1);
    const std::vector<std::string> expected = {
        "createTcpSocket",       "connectTcp 3 10.0.0.7:25876 10000", "receiveSome 3 2048 10000",
        "sendSome 3 2048 10000", "receiveSome 3 2048 10000",          "closeSocket 3"};
    EXPECT_EQ(fake::network().calls, expected);
    const std::string head = Record + '\0' + Extension + '\0';
    EXPECT_EQ(fake::network().sent, head + std::string(MessageSize - head.size(), '\0'));
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

// Stop stays for the idle loop to act on; the restart, and pause, fold and
// finish for today's client, only under remote control (exactly 1); any
// other value stays until the next reply.
TEST_F(CompanionLinkTest, RepliesAndWhatTheyDo) {
    // The reply, the remote control setting, whether today's client is the unit
    // source; then lastServerCommand afterwards and what was done: "tray",
    // "restart", or the folding state sent to the client.
    const std::tuple<const char*, std::string, int, bool, int, const char*> cases[] = {
        {"nothing (server closed)", "", 1, true, 0, ""},
        {"zero", std::string(1, '\0'), 1, true, 0, ""},
        {"stop", "\x01", 1, true, 1, ""},
        {"stop, only the first byte counts", "\x01\x02\x03", 1, false, 1, ""},
        {"toggle tray without a window (silent)", "\x02", 0, false, 0, "tray"},
        {"restart with remote control", "\x03", 1, false, 0, "restart"},
        {"restart without remote control", "\x03", 0, false, 3, ""},
        {"restart with remote control 2", "\x03", 2, false, 3, ""},
        {"pause", "\x04", 1, true, 0, "pause"},
        {"fold", "\x05", 1, true, 0, "fold"},
        {"finish", "\x06", 1, true, 0, "finish"},
        {"finish without remote control", "\x06", 0, true, 6, ""},
        {"pause with remote control 2", "\x04", 2, true, 4, ""},
        {"pause with the unit file as the source", "\x04", 1, false, 4, ""},
        {"unknown", "\x07", 1, true, 7, ""},
        {"0x83 is -125", "\x83", 1, false, -125, ""},
    };
    for (const auto& [name, reply, remoteControl, fromApi, command, done] : cases) {
        SCOPED_TRACE(name);
        freshFakes();
        state_.trayMode = 0;
        state_.lastServerCommand = 55;
        state_.remoteControlEnabled = remoteControl;
        fake::clientApi().listening = true;
        if (fromApi) {
            startClientApi(state_, "127.0.0.1", 7396, 0);
        }
        EXPECT_EQ(exchangeWithReply(reply), 1);
        stopClientApi(state_);
        EXPECT_EQ(state_.lastServerCommand, command);
        std::string did = state_.trayMode == 1 ? "tray" : "";
        did += fake::network().serviceCommands.empty() ? "" : "restart";
        for (const std::string& sent : fake::clientApi().sent) {
            did += nlohmann::json::parse(sent)["state"].get<std::string>();
        }
        EXPECT_EQ(did, done);
        EXPECT_EQ(fake::network().openSockets, 0);
        EXPECT_TRUE(fake::platform().calls.empty()); // nothing shown or hidden without a window
    }
}

TEST_F(CompanionLinkTest, ToggleWithAWindowSwitchesToTheTray) {
    state_.window = &state_; // any window
    state_.trayMode = 0;
    exchangeWithReply("\x02");
    EXPECT_EQ(state_.trayMode, 1);
    EXPECT_EQ(fake::countCalls("hideWindow") + fake::countCalls("notifyTray add"), 2);
}

TEST_F(CompanionLinkTest, AFailedStepEndsTheExchange) {
    // The errors of the connect, the greeting and the send; then the result, the
    // sends and receives made, and the command left.
    const std::tuple<const char*, int, int, int, int, int, int, int> cases[] = {
        {"open: nothing else changes", 10061, 0, 0, 0, 0, 0, 7},
        {"greeting: nothing sent, command 0", 0, 10060, 0, 1, 0, 1, 0},
        {"send: no reply read, command 0", 0, 0, 10054, 1, 1, 1, 0},
    };
    for (const auto& [name, connectError, greetingError, sendError, result, sends, receives,
                      command] : cases) {
        SCOPED_TRACE(name);
        freshFakes();
        fake::network().connectError = connectError;
        greetingError != 0 ? fake::queueReceiveError(greetingError) : fake::queueReceive("hi");
        fake::queueReceive("\x01"); // never read
        fake::network().sendLimits = {sendError != 0 ? -1 : 2048};
        fake::network().sendError = sendError;
        state_.lastServerCommand = 7;
        copyText(state_.messageBuffer, "M");
        EXPECT_EQ(exchangeStatus(state_), result);
        EXPECT_EQ(fake::countNetworkCalls("sendSome"), sends);
        EXPECT_EQ(fake::countNetworkCalls("receiveSome"), receives);
        EXPECT_EQ(state_.lastServerCommand, command);
        EXPECT_EQ(state_.messageBuffer[0] == 'M', result == 0);
        EXPECT_EQ(fake::network().openSockets, 0);
    }
}

TEST_F(CompanionLinkTest, TheFinalRecordIsMarkedAndNeitherGreetedNorAnswered) {
    copyText(state_.messageBuffer, std::string(150, 'R').c_str()); // what the last exchange left
    fake::queueReceive("greeting nobody reads");
    EXPECT_EQ(sendFinalStatus(state_), 1);
    EXPECT_EQ(state_.monitorClosing, 1);
    EXPECT_EQ(fake::countNetworkCalls("receiveSome"), 0);
    EXPECT_EQ(fake::network().openSockets, 0);
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
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"ordinary", "FAH@C:\\Program Files\\FAH\\FAH502-Console.exe", true},
        {"empty", "", false},
        {"double quote", "FAH\" & del x", false},
        {"percent", "FAH%PATH%", false},
        {"line end", "FAH\nnet user", false},
        {"delete character", "FAH\x7f", false},
        {"ampersand alone is one argument", "FAH&calc", true},
        {"8-bit letters", "FAH@C:\\Benutzer\\J\xf6rg", true},
        {"the longest name is never cut", std::string(300, 's'), true}, // 255 kept of 300
    };
    for (const auto& [name, service, runs] : cases) {
        SCOPED_TRACE(name);
        freshFakes();
        copyText(state_.serviceName, service.c_str());
        EXPECT_EQ(serviceNameIsUsable(state_.serviceName), runs);
        EXPECT_EQ(restartClientService(state_), runs ? 1 : 0);
        const auto& commands = fake::network().serviceCommands;
        ASSERT_EQ(commands.size(), runs ? 2u : 0u);
        for (const auto& command : commands) {
            EXPECT_EQ(command.name, service.substr(0, 255));
            EXPECT_EQ(command.timeoutMilliseconds, ServiceCommandTimeLimitMilliseconds);
            EXPECT_EQ(command.action, &command == &commands[0] ? platform::ServiceAction::Stop
                                                               : platform::ServiceAction::Start);
        }
        EXPECT_EQ(fake::platform().sleptMilliseconds, runs ? ServiceRestartPauseMilliseconds : 0);
        if (runs) {
            EXPECT_EQ(commands[1].sleptBefore - commands[0].sleptBefore,
                      ServiceRestartPauseMilliseconds);
        }
    }
}

} // namespace
