#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/event_log.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/unit_tracker.hpp"
#include "platform/clock.hpp"

#include <tuple>

class UnitTracker : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        write("database.txt", "2665 a 1 1 1 110.9 100 GROMACS\n1160 b 1 1 1 50 0 TINKER\n");
        state_.unitStartTime = platform::currentTime();
    }

    // Puts a real client's unit file (in tests/data/unitinfo/) in place of the client's.
    static void copyRealUnitFile(const std::string& name) {
        std::filesystem::copy_file(VIGILON_TEST_DATA "/unitinfo/" + name, "../unitinfo.txt",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Lets minutes pass on the fake clock.
    static void wait(int minutes) { fake::platform().extraSeconds += minutes * 60; }
};

TEST_F(UnitTracker, UnitChangeRunsTheCompletionActions) {
    state_.logEnabled = 1;
    writeUnitFile("p2665_IBX", 50);
    pollUnitFile(state_);
    state_.firstRun = 0;
    state_.unitFrames = 100;
    wait(150);
    writeUnitFile("p1160_Protein", 0);
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 2);
    EXPECT_STREQ(state_.coreName, "TINKER");
    std::string now = stamp(platform::currentTime());
    EXPECT_EQ(read(EventLogFileName), "p2665_IBX completed in 150.000000 minutes on " + now +
                                          "Average frame time: 1.500000 minutes per frame\n"
                                          "Beginning process for p1160_Protein on " +
                                          now);

    // The next unit is timed from that change; its project has no frame count, so
    // its frame time is 0, not 1.5.
    wait(10);
    writeUnitFile("p2665_next", 0);
    pollUnitFile(state_);
    EXPECT_DOUBLE_EQ(state_.unitMinutes, 10.0);
    EXPECT_FLOAT_EQ(state_.frameMinutes, 0.0f);
    EXPECT_EQ(state_.unitCount, 3);
}

TEST_F(UnitTracker, LoggingOffStillLooksUpAndRefreshesTheTip) {
    for (int log : {0, 2}) {
        state_ = MonitorState{};
        fake::reset();
        state_.logEnabled = log;
        state_.trayMode = 1;
        state_.window = &state_; // any window
        writeUnitFile("p2665_IBX", 50);
        pollUnitFile(state_);
        state_.firstRun = 0;
        writeUnitFile("p1160_Protein", 0);
        pollUnitFile(state_);
        EXPECT_FALSE(exists(EventLogFileName));
        EXPECT_STREQ(state_.coreName, "TINKER");
        EXPECT_EQ(fake::countCalls("notifyTray modify"), 1);
    }
}

TEST_F(UnitTracker, SameFirstThirtyFiveCharactersIsTheSameUnit) {
    std::string stem(35, 'u');
    writeUnitFile(stem + "A", 1);
    pollUnitFile(state_);
    writeUnitFile(stem + "B", 2);
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_EQ(std::string(state_.previousUnitName), stem);
    EXPECT_EQ(state_.progressPercent, 2);
}

// Every value comes from its label's own line: a line without one leaves
// its field as it was and never takes the next line's. The first read counts
// a new unit without a log entry.
TEST_F(UnitTracker, ALineWithoutItsValueLeavesTheNextLineAlone) {
    const std::tuple<std::string, std::string, int, const char*> cases[] = {
        {"Name: p2665_IBX in water\nProgress: 12%  [|_]\n", "p2665_IBX", 12, ""},
        {"Name: " + std::string(100, 'n') + "\n", std::string(74, 'n'), 7, ""},
        {"Name: Gromacs\nProgress: 3000000000%  [||]\n", "Gromacs", 2147483647, ""},
        {"Progress: %\nName: Gromacs\n", "Gromacs", 7, ""},
        {"Name:\nTag: P2665R1C2G3\nProgress: 40%\n", "old", 40, "P2665R1C2G3"},
        {"Name: \r\nProgress: 40%\n", "old", 40, ""},
        {"Name: A\nProgress:\nName: B\n", "B", 7, ""},
        {"Name: A\nDownload time:\nProgress: 40%\n", "A", 40, ""},
        {"Name: A\nDue time: soon\nProgress: 40%\n", "A", 40, ""},
        {"Name: A\nTag:\nProgress: 40%\n", "A", 40, ""},
        {"Name: A\r\nProgress: \r\nTag: P1R2C3G4\r\n", "A", 7, "P1R2C3G4"},
    };
    for (const auto& [file, name, percent, tag] : cases) {
        SCOPED_TRACE(file);
        state_ = MonitorState{};
        state_.logEnabled = 1;
        copyText(state_.unitName, "old");
        state_.progressPercent = 7;
        write("../unitinfo.txt", file);
        EXPECT_EQ(pollUnitFile(state_), 1);
        EXPECT_EQ(state_.inputFile, nullptr);
        EXPECT_EQ(state_.unitName, name);
        EXPECT_EQ(state_.progressPercent, percent);
        EXPECT_STREQ(state_.unitTag, tag);
        EXPECT_EQ(state_.unitCount, name == "old" ? 0 : 1);
        EXPECT_FALSE(exists(EventLogFileName));
    }
}

// The change is acted on once the whole file is read and closed: the
// submission goes out with the file closed and the new progress known, and
// names the core of the unit that finished, not the next one's.
TEST_F(UnitTracker, TheSubmissionFollowsTheClosedFileWithTheFinishedCore) {
    state_.logEnabled = 1;
    state_.statsSiteEnabled = 1;
    writeUnitFile("p2665_IBX", 50);
    pollUnitFile(state_);
    lookupProtein(state_);
    state_.firstRun = 0;
    bool fileClosed = false;
    int percent = -1;
    fake::network().onSendGet = [&] {
        fileClosed = state_.inputFile == nullptr;
        percent = state_.progressPercent;
    };
    writeUnitFile("p1160_Protein", 3);
    pollUnitFile(state_);
    ASSERT_EQ(fake::network().httpRequests.size(), 1u);
    const std::string& url = fake::network().httpRequests[0].url;
    EXPECT_NE(url.find("&protein=p2665_IBX&core=GROMACS&"), std::string::npos) << url;
    EXPECT_TRUE(fileClosed);
    EXPECT_EQ(percent, 3);
    EXPECT_STREQ(state_.coreName, "TINKER");
}

// Unit files written by real clients: multi-core (SMP) clients name every
// unit "Gromacs" and carry the project in the tag; the others keep theirs.
TEST_F(UnitTracker, RealClientFilesGiveNameTagAndProject) {
    const std::tuple<const char*, const char*, const char*, int, int> cases[] = {
        {"SMP_7-unitinfo.txt", "Gromacs", "P2669R13C159G153", 6871979, 2669},
        {"SMP_11-unitinfo.txt", "Gromacs", "P2671R30C81G165", 60, 2671},
        {"SMP_12-unitinfo.txt", "Gromacs", "P6024R0C9G78", 97, 6024}, // CR LF
        {"GPU2_6-unitinfo.txt", "Protein", "P5770R4C242G1366", 100, 5770},
        {"GPU2_5-unitinfo.txt", "p4744_lam5w_300K", "", 73, 4744},
        {"GPU3_1-unitinfo.txt", "PEPTIDE", "", 23, 0},
        {"Standard_5-unitinfo.txt", "ProtoMol", "", 11, 0},
        {"unitinfo_TagFormat.txt", "Gromacs", "P2AA3R6C12G21", 1724900, 0},
    };
    for (const auto& [file, name, tag, percent, project] : cases) {
        SCOPED_TRACE(file);
        state_ = MonitorState{};
        copyRealUnitFile(file);
        pollUnitFile(state_);
        lookupProtein(state_);
        EXPECT_STREQ(state_.unitName, name);
        EXPECT_STREQ(state_.unitTag, tag);
        EXPECT_EQ(state_.projectNumber, project);
        EXPECT_EQ(state_.progressPercent, percent);
    }
}

// Two SMP units in a row: the same name, another tag, the full change.
TEST_F(UnitTracker, AnotherTagUnderTheSameNameIsAUnitChange) {
    state_.logEnabled = 1;
    write("database.txt", "2683 p2683 1 1 1 1000 250 GRO-A4\n2671 p2671 1 1 1 500 100 GRO-SMP\n");
    copyRealUnitFile("SMP_10-unitinfo.txt"); // P2683R6C12G21
    pollUnitFile(state_);
    lookupProtein(state_);
    EXPECT_EQ(state_.unitFrames, 250);
    state_.firstRun = 0;
    copyRealUnitFile("SMP_10-unitinfo.txt"); // the same tag: the same unit
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_FALSE(exists(EventLogFileName));
    wait(100);
    copyRealUnitFile("SMP_11-unitinfo.txt"); // P2671R30C81G165
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 2);
    EXPECT_EQ(state_.projectNumber, 2671);
    EXPECT_STREQ(state_.coreName, "GRO-SMP");
    std::string now = stamp(platform::currentTime());
    EXPECT_EQ(read(EventLogFileName), "Gromacs completed in 100.000000 minutes on " + now +
                                          "Average frame time: 0.400000 minutes per frame\n"
                                          "Beginning process for Gromacs on " +
                                          now);
    // A file without a tag after one with a tag: no change by tag alone.
    write("../unitinfo.txt", "Name: Gromacs\nTag: -\nProgress: 5%\n");
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 2);
    EXPECT_STREQ(state_.unitTag, "");
}

// From a named unit to a multi-core client's: the project is the new tag's,
// never the old unit's; a name that gives a project keeps it over a tag.
TEST_F(UnitTracker, AGenericNewNameTakesItsProjectFromItsOwnTag) {
    write("database.txt", "2665 p2665 1 1 1 1 1 GROMACS\n2671 p2671 1 1 1 500 100 GRO-SMP\n");
    write("../unitinfo.txt", "Name: p2665_IBX\nTag: P2683R6C12G21\nProgress: 5%\n");
    pollUnitFile(state_);
    lookupProtein(state_);
    EXPECT_EQ(state_.projectNumber, 2665);
    state_.firstRun = 0;
    copyRealUnitFile("SMP_11-unitinfo.txt"); // Gromacs, P2671R30C81G165
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 2);
    EXPECT_EQ(state_.projectNumber, 2671);
    EXPECT_STREQ(state_.coreName, "GRO-SMP");
}

TEST_F(UnitTracker, MissingFileIsReportedOnlyOnTheFirstRun) {
    EXPECT_EQ(pollUnitFile(state_), 0);
    ASSERT_EQ(fake::platform().messageBoxes.size(), 1u);
    EXPECT_EQ(fake::platform().messageBoxes[0].text, MissingUnitFileText);
    EXPECT_EQ(fake::platform().messageBoxes[0].caption, "../unitinfo.txt");
    state_.firstRun = 0;
    EXPECT_EQ(pollUnitFile(state_), 0);
    EXPECT_EQ(fake::platform().messageBoxes.size(), 1u);
}
