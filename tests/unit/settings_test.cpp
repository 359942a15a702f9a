#include "client_folder.hpp"
#include "common/settings_file.hpp"
#include "common/text.hpp"
#include "monitor/settings.hpp"

#include <climits>
#include <memory>
#include <string>

using Settings = ClientFolder;

TEST_F(Settings, MissingFileGivesDefaultsAndAbsentKeysKeepStartValues) {
    EXPECT_EQ(readSettings(state_), 0);
    EXPECT_EQ(state_.cpuNumber, 1);
    EXPECT_EQ(state_.updateTicks, 5);
    EXPECT_EQ(state_.alwaysOnTop, 0);
    EXPECT_EQ(state_.logEnabled, 1);
    EXPECT_EQ(state_.serverLinkEnabled + state_.trayMode + state_.remoteControlEnabled +
                  state_.statsSiteEnabled + state_.silentMode,
              0);
    EXPECT_STREQ(state_.serverAddress, "");

    state_ = MonitorState{};
    write("vigilon.ini", "[Vigilon setup]\n\nontop 1\n");
    EXPECT_EQ(readSettings(state_), 1);
    EXPECT_EQ(state_.updateTicks, 0);
    EXPECT_EQ(state_.cpuNumber, 0);
    EXPECT_EQ(state_.logEnabled, 0);
    EXPECT_EQ(state_.alwaysOnTop, 1);
}

TEST_F(Settings, DelayBecomesTicks) {
    const struct {
        const char* file;
        int ticks;
    } cases[] = {
        {"delay 5\n", 3000},
        {"delay 0\n", 600},
        {"delay -3\n", 600},
        {"delay x\n", 600},                        // unreadable: raised to one minute
        {"delays 2\n", 1200},                      // only five letters decide
        {"Delay 2\n", 0},                          // keys are case-sensitive
        {" delay 2\n", 0},                         // a leading blank hides the key
        {"delay 99999999\n", INT_MAX / 600 * 600}, // clamped, never overflowing
        {"delay 2\r\ncpunum 3\r\n", 1200},
    };
    for (const auto& c : cases) {
        state_ = MonitorState{};
        write("vigilon.ini", c.file);
        readSettings(state_);
        EXPECT_EQ(state_.updateTicks, c.ticks) << c.file;
    }
}

TEST_F(Settings, WrittenFileReadsBackInBothPrograms) {
    SetupSettings full;
    full.delayMinutes = 3;
    full.cpuNumber = 4;
    full.alwaysOnTop = 1;
    full.trayMode = 1;
    full.serverLinkEnabled = 1;
    copyText(full.serverAddress, "192.168.1.20");
    full.remoteControlEnabled = 1;
    copyText(full.serviceName, "FAH@C:\\Program Files\\FAH\\FAH502-Console.exe");
    full.statsSiteEnabled = 1;
    full.silentMode = 1;
    SetupSettings emptyTexts; // an empty value must not take the next line as its own
    emptyTexts.remoteControlEnabled = 1;
    emptyTexts.statsSiteEnabled = 1;
    for (const SetupSettings& written : {full, emptyTexts}) {
        SCOPED_TRACE(written.serverAddress);
        ASSERT_EQ(writeSettings(written), 1);
        state_ = MonitorState{};
        ASSERT_EQ(readSettings(state_), 1);
        EXPECT_EQ(state_.updateTicks, written.delayMinutes * 600);
        EXPECT_EQ(state_.cpuNumber, written.cpuNumber);
        EXPECT_EQ(state_.trayMode, written.trayMode);
        EXPECT_STREQ(state_.serverAddress, written.serverAddress);
        EXPECT_EQ(state_.remoteControlEnabled, written.remoteControlEnabled);
        EXPECT_STREQ(state_.serviceName, written.serviceName);
        EXPECT_EQ(state_.statsSiteEnabled, written.statsSiteEnabled);
        EXPECT_EQ(state_.silentMode, written.silentMode);

        SetupSettings readBack;
        ASSERT_EQ(readSetupSettings(readBack), 1);
        EXPECT_EQ(readBack.delayMinutes, written.delayMinutes);
        EXPECT_STREQ(readBack.serverAddress, written.serverAddress);
        EXPECT_EQ(readBack.remoteControlEnabled, written.remoteControlEnabled);
        EXPECT_STREQ(readBack.serviceName, written.serviceName);
    }
}

TEST_F(Settings, TextValuesAreBoundedAndTrimmed) {
    std::string longAddress(100, '7');
    std::string longService(400, 's');
    write("vigilon.ini", "ipadd " + longAddress + " extra\r\nspath  " + longService +
                             "  \r\nservc 1\r\nipad\nstats 1\n");
    readSettings(state_);
    EXPECT_EQ(std::string(state_.serverAddress), longAddress.substr(0, 63));
    EXPECT_EQ(std::string(state_.serviceName), longService.substr(0, 255));
    EXPECT_EQ(state_.remoteControlEnabled, 1);
    EXPECT_EQ(state_.serverLinkEnabled, 1);
}

TEST_F(Settings, SetupReaderAcceptsItsOwnKeys) {
    write("vigilon.ini",
          "score 7\nusern Someone Else\nteam# 55\nipadd 10.0.0.1234567890123456789012345678\n");
    SetupSettings s;
    ASSERT_EQ(readSetupSettings(s), 1);
    EXPECT_EQ(s.score, 7);
    EXPECT_STREQ(s.userName, "Someone");
    EXPECT_EQ(s.teamNumber, 55);
    EXPECT_EQ(std::string(s.serverAddress).size(), 31u);

    std::filesystem::remove("vigilon.ini");
    SetupSettings untouched;
    EXPECT_EQ(readSetupSettings(untouched), 0);
    EXPECT_EQ(untouched.delayMinutes, 1);
    EXPECT_EQ(untouched.logEnabled, 1);
}

namespace {

// Every setting the two readers share, as read from file into a fresh record.
template <typename Record, typename Read>
std::string readShared(const std::string& file, Read read, int Record::*delay) {
    std::ofstream(SettingsFileName, std::ios::binary | std::ios::trunc) << file;
    auto r = std::make_unique<Record>();
    read(*r);
    return std::to_string((*r).*delay) + ' ' + std::to_string(r->cpuNumber) + ' ' +
           std::to_string(r->alwaysOnTop) + ' ' + std::to_string(r->logEnabled) + ' ' +
           std::to_string(r->trayMode) + ' ' + std::to_string(r->serverLinkEnabled) + ' ' +
           std::to_string(r->remoteControlEnabled) + ' ' + std::to_string(r->statsSiteEnabled) +
           ' ' + std::to_string(r->silentMode) + " [" + r->serverAddress + "] [" + r->serviceName +
           ']';
}

} // namespace

TEST_F(Settings, AKeyWithoutAValueLeavesTheNextLineToItsOwnKey) {
    const struct {
        const char* file;
        const char* sameAs; // the file reads as this one
    } cases[] = {
        {"cpunum\nstats 1\n", "stats 1\n"},
        {"fhlog\nnowin 1\n", "nowin 1\n"}, // a five-letter key ends its head at the line end
        {"delay\nquiet 1\n", "delay 0\nquiet 1\n"}, // raised to one minute all the same
        {"ipadd\nservc 1\n", "servc 1\n"},
        {"spath\r\nvant! 1\r\n", "vant! 1\n"},
    };
    const auto monitor = [](MonitorState& s) { readSettings(s); };
    const auto setup = [](SetupSettings& s) { readSetupSettings(s); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string monitorSame = readShared(c.sameAs, monitor, &MonitorState::updateTicks);
        const std::string setupSame = readShared(c.sameAs, setup, &SetupSettings::delayMinutes);
        EXPECT_NE(monitorSame, readShared("", monitor, &MonitorState::updateTicks));
        EXPECT_NE(setupSame, readShared("", setup, &SetupSettings::delayMinutes));
        EXPECT_EQ(readShared(c.file, monitor, &MonitorState::updateTicks), monitorSame);
        EXPECT_EQ(readShared(c.file, setup, &SetupSettings::delayMinutes), setupSame);
    }
}
