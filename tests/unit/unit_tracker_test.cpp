#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/event_log.hpp"
#include "monitor/unit_tracker.hpp"
#include "platform/clock.hpp"

class UnitTracker : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        write("database.txt", "2665 a 1 1 1 110.9 100 GROMACS\n1160 b 1 1 1 50 0 TINKER\n");
        state_.unitStartTime = platform::currentTime();
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

TEST_F(UnitTracker, ShortDueLineSwallowsTheProgressLine) {
    write("../unitinfo.txt", "Name: A\nDue time: soon\nProgress: 40%\nName: B\n");
    pollUnitFile(state_);
    EXPECT_EQ(state_.progressPercent, 0);
    EXPECT_STREQ(state_.unitName, "B");
    EXPECT_EQ(state_.unitCount, 2);
}

TEST_F(UnitTracker, RealClientFilesRead) {
    const struct {
        const char* text;
        const char* name;
        int percent;
    } cases[] = {
        {"Current Work Unit\n-----------------\nName: Gromacs\nTag: P2669R13C159G153\n"
         "Download time: October 3 07:52:07\nDue time: October 6 07:52:07\n"
         "Progress: 6871979%  [||||]\n",
         "Gromacs", 6871979},
        {"Current Work Unit\r\n-----------------\r\nName: PEPTIDE (1-42)\r\nTag: -\r\n"
         "Download time: November 19 05:56:56\r\nDue time: November 29 05:56:56\r\n"
         "Progress: 23%  [||________]\r\n",
         "PEPTIDE", 23},
    };
    for (const auto& c : cases) {
        state_ = MonitorState{};
        write("../unitinfo.txt", c.text);
        pollUnitFile(state_);
        EXPECT_STREQ(state_.unitName, c.name);
        EXPECT_EQ(state_.progressPercent, c.percent);
    }
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
