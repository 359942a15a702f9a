#include "client_folder.hpp"
#include "common/settings_file.hpp"
#include "common/text.hpp"
#include "platform/fake/fake_setup_dialog.hpp"
#include "setup/control_transfer.hpp"
#include "setup/service_name.hpp"
#include "setup/setup_controls.hpp"
#include "setup/setup_state.hpp"
#include "setup/setup_tool.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::DialogEvent;
namespace id = setup_control;

constexpr const char* OldFile = "[Vigilon setup]\n\ndelay 9\nusern someone\ncpunum 2\n";
constexpr const char* Notice =
    "The settings could not be saved to vigilon.ini. Check that the folder can be written to.";

class SetupTool : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        fake::resetSetupDialog();
    }

    void send(DialogEvent event) { onSetupDialogEvent(&setup_, fake::setupDialogHandle(), event); }

    static fake::DialogControl& control(int controlId) {
        return fake::setupDialog().controls[controlId];
    }

    static SetupSettings savedSettings() {
        SetupSettings saved;
        EXPECT_EQ(readSetupSettings(saved), 1);
        return saved;
    }

    SetupState setup_;
};

struct RoundTripCase {
    const char* file;
    int cpuNumber;
    int delayMinutes;
    bool checked; // every check box
    const char* serverAddress;
};

TEST_F(SetupTool, EveryKeyRoundTripsThroughTheControls) {
    const RoundTripCase cases[] = {
        {"delay 7\ncpunum -5\nontop 1\nfhlog 1\nquiet 1\nstats 1\nipadd 10.0.0.2\nservc 1\n"
         "spath old\nvant! 1\nnowin 1\n",
         -5, 7, true, "10.0.0.2"},
        {"delay 1\ncpunum 0\nontop 0\nfhlog 0\nquiet 0\nstats 0\nipadd\nservc 0\nvant! 0\n"
         "nowin 0\n",
         0, 1, false, ""},
    };
    const int checkBoxes[] = {id::AlwaysOnTop, id::LogFile,       id::StartInTray, id::SilentMode,
                              id::ServerLink,  id::RemoteControl, id::StatsSite};
    for (const RoundTripCase& c : cases) {
        fake::resetSetupDialog();
        setup_ = SetupState{};
        write("vigilon.ini", c.file);
        send(DialogEvent::Init);
        EXPECT_EQ(control(id::CpuNumber).text, std::to_string(c.cpuNumber)) << c.file;
        EXPECT_EQ(control(id::Interval).text, std::to_string(c.delayMinutes));
        for (int box : checkBoxes) {
            EXPECT_EQ(control(box).checked, c.checked) << box;
        }
        EXPECT_EQ(control(id::ServerAddress).text, c.serverAddress);
        EXPECT_EQ(control(id::ServiceName).text, "FAH@D:+FAH+FAH502-Console.exe");

        send(DialogEvent::Save);
        SetupSettings saved = savedSettings();
        EXPECT_EQ(saved.cpuNumber, c.cpuNumber);
        EXPECT_EQ(saved.delayMinutes, c.delayMinutes);
        const int flags[] = {saved.alwaysOnTop,       saved.logEnabled,
                             saved.trayMode,          saved.silentMode,
                             saved.serverLinkEnabled, saved.remoteControlEnabled,
                             saved.statsSiteEnabled};
        for (int flag : flags) {
            EXPECT_EQ(flag, c.checked ? 1 : 0);
        }
        EXPECT_STREQ(saved.serverAddress, c.serverAddress);
        EXPECT_STREQ(saved.serviceName, "FAH@D:+FAH+FAH502-Console.exe");
    }
}

TEST_F(SetupTool, WithoutAFileTheStartValuesShowInLimitedEditBoxes) {
    send(DialogEvent::Init);
    EXPECT_EQ(control(id::CpuNumber).text, "1");
    EXPECT_EQ(control(id::Interval).text, "1");
    EXPECT_TRUE(control(id::LogFile).checked);
    EXPECT_FALSE(control(id::AlwaysOnTop).checked || control(id::StartInTray).checked ||
                 control(id::SilentMode).checked || control(id::ServerLink).checked ||
                 control(id::RemoteControl).checked || control(id::StatsSite).checked);
    EXPECT_EQ(control(id::ServerAddress).text, "");
    EXPECT_EQ(control(id::CpuNumber).typingLimit, 4);
    EXPECT_EQ(control(id::Interval).typingLimit, 4);
    EXPECT_EQ(control(id::ServerAddress).typingLimit, 29);
    EXPECT_EQ(control(id::ServiceName).typingLimit, 254);
}

struct TypedNumberCase {
    const char* typed;
    int value;
};

TEST_F(SetupTool, TypedNumbersConvertLikeAtoi) {
    const TypedNumberCase cases[] = {
        {"12ab", 12}, {"", 0}, {"12345", 1234}, {"-5", -5}, {" 42", 42}, {"x9", 0},
    };
    send(DialogEvent::Init);
    for (const TypedNumberCase& c : cases) {
        control(id::CpuNumber).text = c.typed;
        control(id::Interval).text = c.typed;
        readSetupControls(setup_);
        EXPECT_EQ(setup_.settings.cpuNumber, c.value) << c.typed;
        EXPECT_EQ(setup_.settings.delayMinutes, c.value) << c.typed;
    }
    control(id::CpuNumber).text = "12ab";
    send(DialogEvent::Save);
    EXPECT_EQ(savedSettings().cpuNumber, 12);
}

TEST_F(SetupTool, LongTextIsReadUpToItsLimit) {
    send(DialogEvent::Init);
    control(id::ServerAddress).text = std::string(40, '7');
    control(id::ServiceName).text = std::string(300, 's');
    readSetupControls(setup_);
    EXPECT_EQ(std::string(setup_.settings.serverAddress), std::string(29, '7'));
    EXPECT_EQ(std::string(setup_.settings.serviceName), std::string(254, 's'));
}

struct ServiceNameCase {
    std::optional<std::string> directory;
    std::optional<std::string> fixedName;
    std::string expected;
};

TEST_F(SetupTool, DefaultServiceNameFollowsTheClientFolder) {
    const std::string deep = "C:\\" + std::string(251, 'd'); // 254 characters: just fits
    const ServiceNameCase cases[] = {
        {"D:\\FAH\\vigilon", std::nullopt, "FAH@D:+FAH+FAH502-Console.exe"},
        {"C:\\", std::nullopt, ""},
        {std::nullopt, std::nullopt, ""},
        {deep, std::nullopt,
         ("FAH@C:+" + std::string(244, 'd') + "FAH502-Console.exe").substr(0, 255)},
        {deep + "d", std::nullopt, ""}, // does not fit
        {"/home/fah", "fah-client", "fah-client"},
    };
    for (const ServiceNameCase& c : cases) {
        fake::setupDialog().currentDirectory = c.directory;
        fake::setupDialog().fixedServiceName = c.fixedName;
        copyText(setup_.settings.serviceName, "old");
        defaultServiceName(setup_);
        EXPECT_EQ(setup_.settings.serviceName, c.expected) << c.directory.value_or("(unreadable)");
    }
}

TEST_F(SetupTool, CloseWritesNothing) {
    write("vigilon.ini", OldFile);
    send(DialogEvent::Init);
    control(id::CpuNumber).text = "8";
    send(DialogEvent::Close);
    EXPECT_EQ(fake::setupDialog().endResult, 0);
    EXPECT_EQ(read("vigilon.ini"), OldFile);
    EXPECT_FALSE(exists("vigilon.ini.new"));
}

TEST_F(SetupTool, SaveWritesEveryLineInOrderAndEnds) {
    write("vigilon.ini", OldFile);
    send(DialogEvent::Init);
    send(DialogEvent::Save);
    EXPECT_EQ(fake::setupDialog().endResult, 1);
    EXPECT_EQ(read("vigilon.ini"),
              "[Vigilon setup]\n\ndelay 9\ncpunum 2\nontop 0\nfhlog 1\nquiet 0\nstats 0\n"
              "ipadd \nservc 0\nspath FAH@D:+FAH+FAH502-Console.exe\nvant! 0\nnowin 0\n");
    EXPECT_FALSE(exists("vigilon.ini.new"));
    EXPECT_TRUE(fake::setupDialog().notices.empty());
}

TEST_F(SetupTool, FailedSaveKeepsTheOldFileAndTheDialog) {
    for (bool writeFails : {false, true}) {
        fake::resetSetupDialog();
        write("vigilon.ini", OldFile);
        if (writeFails) {
            std::filesystem::create_directory("vigilon.ini.new"); // cannot be opened as a file
        } else {
            fake::setupDialog().replaceFails = true;
        }
        send(DialogEvent::Init);
        send(DialogEvent::Save);
        ASSERT_EQ(fake::setupDialog().notices.size(), 1u) << writeFails;
        const fake::SetupNotice& notice = fake::setupDialog().notices[0];
        EXPECT_EQ(notice.dialog, fake::setupDialogHandle());
        EXPECT_EQ(notice.text, Notice);
        EXPECT_EQ(notice.caption, "Vigilon Setup");
        EXPECT_EQ(read("vigilon.ini"), OldFile);
        EXPECT_FALSE(fake::setupDialog().endResult.has_value());
        EXPECT_FALSE(std::filesystem::is_regular_file("vigilon.ini.new"));
    }
}

struct RunCase {
    bool createFails;
    bool replaceFails;
    std::vector<DialogEvent> events;
    int status;
};

TEST_F(SetupTool, RunReturnsHowTheDialogEnded) {
    const RunCase cases[] = {
        {false, false, {DialogEvent::Save}, 1},
        {false, false, {DialogEvent::Close}, 0},
        {false, true, {DialogEvent::Save, DialogEvent::Close}, 0},
        {true, false, {}, -1},
    };
    for (const RunCase& c : cases) {
        fake::resetSetupDialog();
        fake::setupDialog().createFails = c.createFails;
        fake::setupDialog().replaceFails = c.replaceFails;
        fake::setupDialog().events = c.events;
        EXPECT_EQ(runSetupTool(nullptr), c.status);
    }
}

} // namespace
