#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/event_log.hpp"
#include "platform/clock.hpp"

namespace {
const std::string Separator(48, '-');
}

class EventLog : public ClientFolder {
protected:
    // What the entry written by write adds to a new log.
    std::string entry(void (*write)(MonitorState&)) {
        std::filesystem::remove(EventLogFileName);
        write(state_);
        return read(EventLogFileName);
    }

    static std::string now() { return stamp(platform::currentTime()); }
};

TEST_F(EventLog, StartEntryBeginsOrContinues) {
    copyText(state_.unitName, "p2665_IBX");
    const std::string banner = "Vigilon v1.1 - a Folding@home companion\n" + Separator + "\n\n";
    EXPECT_EQ(entry(writeStartEntry), banner + "Beginning process for p2665_IBX on " + now());
    state_.progressPercent = 12;
    writeStartEntry(state_); // appended
    EXPECT_EQ(read(EventLogFileName), banner + "Beginning process for p2665_IBX on " + now() +
                                          banner + "Continuing process at 12% for p2665_IBX on " +
                                          now());
    EXPECT_EQ(state_.logTime, platform::currentTime());
}

TEST_F(EventLog, UnitEntryLinesFollowTheSettings) {
    copyText(state_.previousUnitName, "p1_old");
    copyText(state_.unitName, "p2_new");
    state_.unitMinutes = 90.5;
    state_.frameMinutes = 0.905f;
    state_.unitFrames = 100;
    const struct {
        int serverLink, statsSite;
        std::string frames, submitting;
    } cases[] = {{0, 0, "", ""},
                 {1, 0, "100 frames total\n", ""},
                 {0, 1, "", "Submitting data to stats.vantor.net...\n"},
                 {2, 2, "100 frames total\n", ""}};
    for (const auto& c : cases) {
        state_.serverLinkEnabled = c.serverLink;
        state_.statsSiteEnabled = c.statsSite;
        EXPECT_EQ(entry(writeUnitEntry),
                  "p1_old completed in 90.500000 minutes on " + now() + c.frames +
                      "Average frame time: 0.905000 minutes per frame\n" + c.submitting +
                      "Beginning process for p2_new on " + now());
    }
}

TEST_F(EventLog, ShutdownStatistics) {
    const struct {
        int unitCount;
        long long uptimeSeconds;
        std::string body;
    } cases[] = {
        {3, 150 * 60 + 59,
         "Total uptime: 2.516389 hours\nTotal WUs completed: 2\n"
         "Average time per WU: 50.000000 minutes\n"},
        {1, 60, "Total uptime: 0.016667 hours\nTotal WUs completed: 0\n"},
        {0, 0, "Total uptime: 0.000000 hours\nTotal WUs completed: 0\n"},
    };
    for (const auto& c : cases) {
        state_.unitCount = c.unitCount;
        state_.programStartTime = platform::currentTime() - c.uptimeSeconds;
        EXPECT_EQ(entry(writeShutdownStatistics), Separator + "\nVigilon stats after shutdown\n\n" +
                                                      c.body + Separator + "\n\n\n\n\n");
        EXPECT_EQ(state_.endTime, platform::currentTime());
    }
}

TEST_F(EventLog, UnwritableLogIsSilent) {
    std::filesystem::create_directory(EventLogFileName); // cannot be opened as a file
    writeStartEntry(state_);
    writeUnitEntry(state_);
    writeShutdownStatistics(state_);
    EXPECT_EQ(state_.logFile, nullptr);
}
