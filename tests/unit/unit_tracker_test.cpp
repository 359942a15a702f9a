#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/event_log.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/unit_tracker.hpp"
#include "platform/clock.hpp"

class UnitTracker : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        write("database.txt", "2665 a 1 1 1 110.9 100 GROMACS\n1160 b 1 1 1 50 0 TINKER\n");
        state_.unitStartTime = platform::currentTime();
    }

    // Puts a real client's unit file (tests/data/unitinfo/<name>-unitinfo.txt
    // or <name>.txt) in place of the client's.
    static void copyRealUnitFile(const std::string& name) {
        std::filesystem::path folder = VIGILON_TEST_DATA "/unitinfo";
        std::filesystem::path file = folder / (name + "-unitinfo.txt");
        if (!std::filesystem::exists(file)) {
            file = folder / (name + ".txt");
        }
        std::filesystem::copy_file(file, "../unitinfo.txt",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Lets minutes pass on the fake clock.
    static void wait(int minutes) { fake::platform().extraSeconds += minutes * 60; }
};

TEST_F(UnitTracker, FirstReadCountsTheUnitQuietly) {
    writeUnitFile("p2665_IBX in water", 12);
    EXPECT_EQ(pollUnitFile(state_), 1);
    EXPECT_STREQ(state_.unitName, "p2665_IBX");
    EXPECT_EQ(state_.progressPercent, 12);
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_FALSE(exists(EventLogFileName));
    EXPECT_EQ(state_.inputFile, nullptr);
}

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
    EXPECT_DOUBLE_EQ(state_.unitMinutes, 150.0);
    EXPECT_FLOAT_EQ(state_.frameMinutes, 1.5f);
    EXPECT_STREQ(state_.previousUnitName, "p2665_IBX");
    EXPECT_STREQ(state_.coreName, "TINKER");
    EXPECT_EQ(state_.unitFrames, 0);
    EXPECT_EQ(state_.unitStartTime, platform::currentTime());
    std::string now = stamp(platform::currentTime());
    EXPECT_EQ(read(EventLogFileName), "p2665_IBX completed in 150.000000 minutes on " + now +
                                          "Average frame time: 1.500000 minutes per frame\n"
                                          "Beginning process for p1160_Protein on " +
                                          now);

    // The next unit's project has no frame count: its frame time is 0, not 1.5.
    wait(10);
    writeUnitFile("p2665_next", 0);
    pollUnitFile(state_);
    EXPECT_FLOAT_EQ(state_.frameMinutes, 0.0f);
    EXPECT_STREQ(state_.coreName, "GROMACS");
    EXPECT_EQ(state_.unitCount, 3);
}

TEST_F(UnitTracker, LoggingOffStillLooksUpAndRefreshesTheTip) {
    const int logSettings[] = {0, 2};
    for (int log : logSettings) {
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
        EXPECT_EQ(state_.unitCount, 2);
    }
}

TEST_F(UnitTracker, SameFirstThirtyFiveCharactersIsTheSameUnit) {
    std::string stem(35, 'u');
    writeUnitFile(stem + "A", 1);
    pollUnitFile(state_);
    EXPECT_STREQ(state_.previousUnitName, "");
    writeUnitFile(stem + "B", 2);
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_EQ(std::string(state_.previousUnitName), stem);
    EXPECT_EQ(state_.progressPercent, 2);
}

TEST_F(UnitTracker, LongNamesAndOddFiles) {
    writeUnitFile(std::string(100, 'n'), 7);
    pollUnitFile(state_);
    EXPECT_EQ(std::string(state_.unitName), std::string(74, 'n'));
    EXPECT_EQ(state_.progressPercent, 7);

    // Progress beyond the int range saturates; an empty progress keeps the value.
    state_ = MonitorState{};
    write("../unitinfo.txt", "Name: Gromacs\nProgress: 3000000000%  [||]\n");
    pollUnitFile(state_);
    EXPECT_EQ(state_.progressPercent, 2147483647);
    write("../unitinfo.txt", "Progress: %\nName: Gromacs\n");
    pollUnitFile(state_);
    EXPECT_EQ(state_.progressPercent, 2147483647);
}

// Every value comes from its label's own line: a line without one leaves
// its field as it was and never takes the next line's.
TEST_F(UnitTracker, ALineWithoutItsValueLeavesTheNextLineAlone) {
    const struct {
        const char* file;
        const char* name;
        int percent;
        const char* tag;
    } cases[] = {
        {"Name:\nTag: P2665R1C2G3\nProgress: 40%\n", "old", 40, "P2665R1C2G3"},
        {"Name: A\nProgress:\nName: B\n", "B", 7, ""},
        {"Name: A\nDownload time:\nProgress: 40%\n", "A", 40, ""},
        {"Name: A\nDue time: soon\nProgress: 40%\n", "A", 40, ""},
        {"Name: A\nTag:\nProgress: 40%\n", "A", 40, ""},
        {"Name: A\r\nProgress: \r\nTag: P1R2C3G4\r\n", "A", 7, "P1R2C3G4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        state_ = MonitorState{};
        copyText(state_.unitName, "old");
        state_.progressPercent = 7;
        write("../unitinfo.txt", c.file);
        pollUnitFile(state_);
        EXPECT_STREQ(state_.unitName, c.name);
        EXPECT_EQ(state_.progressPercent, c.percent);
        EXPECT_STREQ(state_.unitTag, c.tag);
        EXPECT_EQ(state_.unitCount, std::string(c.name) == "old" ? 0 : 1);
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
    const struct {
        const char* file;
        const char* name;
        const char* tag;
        int percent;
        int project;
    } cases[] = {
        {"SMP_7", "Gromacs", "P2669R13C159G153", 6871979, 2669},
        {"SMP_8", "Gromacs", "P2683R2C8G24", 1718086, 2683},
        {"SMP_9", "Gromacs", "P2681R9C8G55", 0, 2681},
        {"SMP_10", "Gromacs", "P2683R6C12G21", 0, 2683},
        {"SMP_11", "Gromacs", "P2671R30C81G165", 0, 2671},
        {"SMP_12", "Gromacs", "P6024R0C9G78", 0, 6024},
        {"SMP_13", "Gromacs", "P6073R0C10G53", 0, 6073},
        {"SMP_15", "Gromacs", "P6071R0C39G70", 0, 6071},
        {"GPU2_6", "Protein", "P5770R4C242G1366", 0, 5770},
        {"GPU2_5", "p4744_lam5w_300K", "", 0, 4744},
        {"GPU3_1", "PEPTIDE", "", 23, 0},
        {"Standard_5", "ProtoMol", "", 11, 0},
        {"unitinfo_TagFormat", "Gromacs", "P2AA3R6C12G21", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        state_ = MonitorState{};
        copyRealUnitFile(c.file);
        pollUnitFile(state_);
        lookupProtein(state_);
        EXPECT_STREQ(state_.unitName, c.name);
        EXPECT_STREQ(state_.unitTag, c.tag);
        EXPECT_EQ(state_.projectNumber, c.project);
        if (c.percent != 0) {
            EXPECT_EQ(state_.progressPercent, c.percent);
        }
    }
}

// Two SMP units in a row: the same name, another tag, the full change.
TEST_F(UnitTracker, AnotherTagUnderTheSameNameIsAUnitChange) {
    state_.logEnabled = 1;
    write("database.txt", "2683 p2683 1 1 1 1000 250 GRO-A4\n2671 p2671 1 1 1 500 100 GRO-SMP\n");
    copyRealUnitFile("SMP_10"); // P2683R6C12G21
    pollUnitFile(state_);
    lookupProtein(state_);
    EXPECT_EQ(state_.unitFrames, 250);
    state_.firstRun = 0;
    copyRealUnitFile("SMP_10"); // the same tag: the same unit
    pollUnitFile(state_);
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_FALSE(exists(EventLogFileName));
    wait(100);
    copyRealUnitFile("SMP_11"); // P2671R30C81G165
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
    copyRealUnitFile("SMP_11"); // Gromacs, P2671R30C81G165
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
