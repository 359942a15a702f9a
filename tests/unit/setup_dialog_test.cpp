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
#include <tuple>
#include <utility>
#include <vector>

namespace {

using platform::DialogEvent;
namespace id = setup_control;

constexpr const char* DefaultService = "FAH@D:+FAH+FAH502-Console.exe";

// The lines the tool writes itself, in its order, with the default service.
std::string ownLines(const char* delay, const char* cpu, const char* address = "") {
    return std::string("[Vigilon setup]\n\ndelay ") + delay + "\ncpunum " + cpu +
           "\nontop 0\nfhlog 1\nquiet 0\nstats 0\nipadd " + address + "\nservc 0\nspath " +
           DefaultService + "\nvant! 0\nnowin 0\n";
}

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
    EXPECT_EQ(read("vigilon.ini"), ownLines("7", "-5", "10.0.0.2"));

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
        send(DialogEvent::Save);
        const std::string saved = read("vigilon.ini");
        for (const auto& [other, otherBox] : boxes) {
            EXPECT_EQ(control(otherBox).checked, other == key) << other;
            EXPECT_NE(saved.find(other + (other == key ? " 1\n" : " 0\n")), std::string::npos);
        }
    }
}

// The controls show the start values: saved unchanged, they give the start file.
TEST_F(SetupTool, WithoutAFileTheStartValuesShowInLimitedEditBoxes) {
    send(DialogEvent::Init);
    EXPECT_EQ(control(id::CpuNumber).typingLimit, 4);
    EXPECT_EQ(control(id::Interval).typingLimit, 4);
    EXPECT_EQ(control(id::ServerAddress).typingLimit, 29);
    EXPECT_EQ(control(id::ServiceName).typingLimit, 254);
    send(DialogEvent::Save);
    EXPECT_EQ(read("vigilon.ini"), ownLines("1", "1"));
}

TEST_F(SetupTool, TypedTextIsReadLikeAtoiAndUpToItsLimit) {
    const std::pair<const char*, int> cases[] = {{"12ab", 12}, {"", 0},     {"12345", 1234},
                                                 {"-5", -5},   {" 42", 42}, {"x9", 0}};
    send(DialogEvent::Init);
    for (const auto& [typed, value] : cases) {
        control(id::CpuNumber).text = typed;
        control(id::Interval).text = typed;
        readSetupControls(setup_);
        EXPECT_EQ(setup_.settings.cpuNumber, value) << typed;
        EXPECT_EQ(setup_.settings.delayMinutes, value) << typed;
    }
    control(id::ServerAddress).text = std::string(40, '7');
    control(id::ServiceName).text = std::string(300, 's');
    readSetupControls(setup_);
    EXPECT_EQ(std::string(setup_.settings.serverAddress), std::string(29, '7'));
    EXPECT_EQ(std::string(setup_.settings.serviceName), std::string(254, 's'));
}

TEST_F(SetupTool, DefaultServiceNameFollowsTheClientFolder) {
    const std::string deep = "C:\\" + std::string(251, 'd'); // 254 characters: just fits
    // The current directory (none: unreadable), the platform's fixed name, the name made.
    using Maybe = std::optional<std::string>;
    const std::tuple<Maybe, Maybe, std::string> cases[] = {
        {"D:\\FAH\\vigilon", std::nullopt, DefaultService},
        {"C:\\", std::nullopt, ""},
        {std::nullopt, std::nullopt, ""},
        {deep, std::nullopt,
         ("FAH@C:+" + std::string(244, 'd') + "FAH502-Console.exe").substr(0, 255)},
        {deep + "d", std::nullopt, ""}, // does not fit
        {"/home/fah", "fah-client", "fah-client"},
    };
    for (const auto& [directory, fixedName, expected] : cases) {
        fake::setupDialog().currentDirectory = directory;
        fake::setupDialog().fixedServiceName = fixedName;
        copyText(setup_.settings.serviceName, "old");
        defaultServiceName(setup_);
        EXPECT_EQ(setup_.settings.serviceName, expected) << directory.value_or("(unreadable)");
    }
}

TEST_F(SetupTool, HowTheDialogEndsAndWhatItLeavesInTheFile) {
    const std::string oldFile = "[Vigilon setup]\n\ndelay 9\nusern someone\ncpunum 2\n";
    const std::string savedFile = ownLines("9", "2") + "usern someone\n"; // read, not written: kept
    enum Failing { Nothing, Dialog, Replace, Write };
    using enum DialogEvent;
    // What fails, the events after Init, the tool's status and the file left.
    const std::tuple<const char*, Failing, std::vector<DialogEvent>, int, std::string> cases[] = {
        {"save", Nothing, {Save}, 1, savedFile},
        {"close", Nothing, {Close}, 0, oldFile},
        {"replace fails, then close", Replace, {Save, Close}, 0, oldFile},
        {"write fails, then close", Write, {Save, Close}, 0, oldFile},
        {"no dialog", Dialog, {}, -1, oldFile},
    };
    for (const auto& [name, failing, events, status, file] : cases) {
        SCOPED_TRACE(name);
        fake::resetSetupDialog();
        write("vigilon.ini", oldFile);
        std::filesystem::remove("vigilon.ini.new");
        if (failing == Write) {
            std::filesystem::create_directory("vigilon.ini.new"); // cannot be opened as a file
        }
        fake::setupDialog().createFails = failing == Dialog;
        fake::setupDialog().replaceFails = failing == Replace;
        fake::setupDialog().events = events;
        EXPECT_EQ(runSetupTool(nullptr), status);
        EXPECT_EQ(read("vigilon.ini"), file);
        EXPECT_FALSE(std::filesystem::is_regular_file("vigilon.ini.new"));
        const auto& notices = fake::setupDialog().notices;
        ASSERT_EQ(notices.size(), failing == Replace || failing == Write ? 1u : 0u);
        for (const fake::SetupNotice& notice : notices) {
            EXPECT_EQ(notice.dialog, fake::setupDialogHandle());
            EXPECT_EQ(notice.text, "The settings could not be saved to vigilon.ini. Check that "
                                   "the folder can be written to.");
            EXPECT_EQ(notice.caption, "Vigilon Setup");
        }
    }
}

TEST_F(SetupTool, LinesTheToolDoesNotWriteFollowItsOwnUnchanged) {
    const std::string longLine = "clapi " + std::string(494, 'x'); // its CR ends a piece
    std::string manyLines;
    for (int i = 0; i < 70; ++i) {
        manyLines += "clgrp " + std::to_string(i) + "\n";
    }
    // The file's lines after "[Vigilon setup]\r\n\r\ndelay 7\r\n", and those kept.
    const std::tuple<const char*, std::string, std::string> cases[] = {
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
    for (const auto& [name, file, kept] : cases) {
        SCOPED_TRACE(name);
        write("vigilon.ini", "[Vigilon setup]\r\n\r\ndelay 7\r\n" + file);
        setup_ = SetupState();
        fake::resetSetupDialog();
        send(DialogEvent::Init);
        send(DialogEvent::Save);
        EXPECT_EQ(read("vigilon.ini"), ownLines("7", "3") + kept);
    }
}

} // namespace
