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

constexpr const char* DefaultService = "FAH@D:+FAH+FAH502-Console.exe";

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

    SetupState setup_;
};

TEST_F(SetupTool, EveryKeyRoundTripsThroughItsOwnControl) {
    write("vigilon.ini", "delay 7\ncpunum -5\nipadd 10.0.0.2\nspath old\n");
    send(DialogEvent::Init);
    EXPECT_EQ(control(id::CpuNumber).text, "-5");
    EXPECT_EQ(control(id::Interval).text, "7");
    EXPECT_EQ(control(id::ServerAddress).text, "10.0.0.2");
    EXPECT_EQ(control(id::ServiceName).text, DefaultService);
    send(DialogEvent::Save);
    EXPECT_EQ(read("vigilon.ini"),
              "[Vigilon setup]\n\ndelay 7\ncpunum -5\nontop 0\nfhlog 1\nquiet 0\n"
              "stats 0\nipadd 10.0.0.2\nservc 0\nspath " +
                  std::string(DefaultService) + "\nvant! 0\nnowin 0\n");

    const std::pair<std::string, int> boxes[] = {
        {"ontop", id::AlwaysOnTop}, {"fhlog", id::LogFile},    {"quiet", id::StartInTray},
        {"nowin", id::SilentMode},  {"stats", id::ServerLink}, {"servc", id::RemoteControl},
        {"vant!", id::StatsSite}};
    for (const auto& [key, box] : boxes) { // each check box alone, in and out
        SCOPED_TRACE(key);
        std::string file;
        for (const auto& [other, otherBox] : boxes) {
            file += other + (other == key ? " 1\n" : " 0\n");
        }
        write("vigilon.ini", file);
        fake::resetSetupDialog();
        send(DialogEvent::Init);
        for (const auto& [other, otherBox] : boxes) {
            EXPECT_EQ(control(otherBox).checked, other == key) << other;
        }
        send(DialogEvent::Save);
        for (const auto& [other, otherBox] : boxes) {
            EXPECT_NE(read("vigilon.ini").find(other + (other == key ? " 1\n" : " 0\n")),
                      std::string::npos);
        }
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

TEST_F(SetupTool, TypedTextIsReadLikeAtoiAndUpToItsLimit) {
    const struct {
        const char* typed;
        int value;
    } cases[] = {{"12ab", 12}, {"", 0}, {"12345", 1234}, {"-5", -5}, {" 42", 42}, {"x9", 0}};
    send(DialogEvent::Init);
    for (const auto& c : cases) {
        control(id::CpuNumber).text = c.typed;
        control(id::Interval).text = c.typed;
        readSetupControls(setup_);
        EXPECT_EQ(setup_.settings.cpuNumber, c.value) << c.typed;
        EXPECT_EQ(setup_.settings.delayMinutes, c.value) << c.typed;
    }
    control(id::ServerAddress).text = std::string(40, '7');
    control(id::ServiceName).text = std::string(300, 's');
    readSetupControls(setup_);
    EXPECT_EQ(std::string(setup_.settings.serverAddress), std::string(29, '7'));
    EXPECT_EQ(std::string(setup_.settings.serviceName), std::string(254, 's'));
}

TEST_F(SetupTool, DefaultServiceNameFollowsTheClientFolder) {
    const std::string deep = "C:\\" + std::string(251, 'd'); // 254 characters: just fits
    const struct {
        std::optional<std::string> directory;
        std::optional<std::string> fixedName;
        std::string expected;
    } cases[] = {
        {"D:\\FAH\\vigilon", std::nullopt, DefaultService},
        {"C:\\", std::nullopt, ""},
        {std::nullopt, std::nullopt, ""},
        {deep, std::nullopt,
         ("FAH@C:+" + std::string(244, 'd') + "FAH502-Console.exe").substr(0, 255)},
        {deep + "d", std::nullopt, ""}, // does not fit
        {"/home/fah", "fah-client", "fah-client"},
    };
    for (const auto& c : cases) {
        fake::setupDialog().currentDirectory = c.directory;
        fake::setupDialog().fixedServiceName = c.fixedName;
        copyText(setup_.settings.serviceName, "old");
        defaultServiceName(setup_);
        EXPECT_EQ(setup_.settings.serviceName, c.expected) << c.directory.value_or("(unreadable)");
    }
}

TEST_F(SetupTool, HowTheDialogEndsAndWhatItLeavesInTheFile) {
    const std::string oldFile = "[Vigilon setup]\n\ndelay 9\nusern someone\ncpunum 2\n";
    const std::string savedFile =
        "[Vigilon setup]\n\ndelay 9\ncpunum 2\nontop 0\nfhlog 1\nquiet 0\nstats 0\n"
        "ipadd \nservc 0\nspath FAH@D:+FAH+FAH502-Console.exe\nvant! 0\nnowin 0\n"
        "usern someone\n"; // read, not written: kept
    enum Failing { Nothing, Dialog, Replace, Write };
    using enum DialogEvent;
    const struct {
        const char* name;
        Failing failing;
        std::vector<DialogEvent> events;
        int status;
        const std::string& file;
    } cases[] = {
        {"save", Nothing, {Save}, 1, savedFile},
        {"close", Nothing, {Close}, 0, oldFile},
        {"replace fails, then close", Replace, {Save, Close}, 0, oldFile},
        {"write fails, then close", Write, {Save, Close}, 0, oldFile},
        {"no dialog", Dialog, {}, -1, oldFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::resetSetupDialog();
        write("vigilon.ini", oldFile);
        std::filesystem::remove("vigilon.ini.new");
        if (c.failing == Write) {
            std::filesystem::create_directory("vigilon.ini.new"); // cannot be opened as a file
        }
        fake::setupDialog().createFails = c.failing == Dialog;
        fake::setupDialog().replaceFails = c.failing == Replace;
        fake::setupDialog().events = c.events;
        EXPECT_EQ(runSetupTool(nullptr), c.status);
        EXPECT_EQ(read("vigilon.ini"), c.file);
        EXPECT_FALSE(std::filesystem::is_regular_file("vigilon.ini.new"));
        const auto& notices = fake::setupDialog().notices;
        ASSERT_EQ(notices.size(), c.failing == Replace || c.failing == Write ? 1u : 0u);
        for (const fake::SetupNotice& notice : notices) {
            EXPECT_EQ(notice.dialog, fake::setupDialogHandle());
            EXPECT_EQ(notice.text, "The settings could not be saved to vigilon.ini. Check that "
                                   "the folder can be written to.");
            EXPECT_EQ(notice.caption, "Vigilon Setup");
        }
    }
}

TEST_F(SetupTool, LinesTheToolDoesNotWriteFollowItsOwnUnchanged) {
    const std::string ownLines =
        "[Vigilon setup]\n\ndelay 7\ncpunum 3\nontop 0\nfhlog 1\nquiet 0\nstats 0\n"
        "ipadd \nservc 0\nspath FAH@D:+FAH+FAH502-Console.exe\nvant! 0\nnowin 0\n";
    const std::string longLine = "clapi " + std::string(494, 'x'); // its CR ends a piece
    std::string manyLines;
    for (int i = 0; i < 70; ++i) {
        manyLines += "clgrp " + std::to_string(i) + "\n";
    }
    const struct {
        const char* name;
        std::string file; // after "[Vigilon setup]\r\n\r\ndelay 7\r\n"
        std::string kept;
    } cases[] = {
        {"between and after known lines",
         "clapi 127.0.0.1:7396\r\ncpunum 3\r\nspath x\r\nclgrp gpu0\r\n",
         "clapi 127.0.0.1:7396\nclgrp gpu0\n"},
        {"known keys by five characters, headers, empty lines",
         "cpunum 3\r\nnowin! 0\r\nusern Tom\r\n\r\n[Vigilon setup]\r\n[Other]\r\ndela\r\n",
         "usern Tom\n[Other]\ndela\n"},
        {"no line end at the end", "cpunum 3\nclgrp gpu0", "clgrp gpu0\n"},
        {"long lines whole", longLine + "\r\n" + std::string(1000, 'y') + "\ncpunum 3\n",
         longLine + "\n" + std::string(1000, 'y') + "\n"},
        {"at most 64 lines", "cpunum 3\n" + manyLines,
         manyLines.substr(0, manyLines.find("clgrp 64"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write("vigilon.ini", "[Vigilon setup]\r\n\r\ndelay 7\r\n" + c.file);
        setup_ = SetupState();
        fake::resetSetupDialog();
        send(DialogEvent::Init);
        send(DialogEvent::Save);
        EXPECT_EQ(read("vigilon.ini"), ownLines + c.kept);
    }
}

} // namespace
