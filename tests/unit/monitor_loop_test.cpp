#include "client_folder.hpp"
#include "monitor/display/display.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_main.hpp"

#include <vector>

class MonitorLoop : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        writeUnitFile("p2665_IBX", 12);
    }

    // A fresh monitor with these settings, started.
    void start(const std::string& settings) {
        fake::reset();
        state_ = MonitorState{};
        write("vigilon.ini", settings);
        ASSERT_TRUE(startMonitor(state_, nullptr));
    }

    // The numbers of the passes, of those run one by one, that made a call.
    std::vector<int> passesCalling(const std::string& call, int passes) {
        std::vector<int> calling;
        for (int pass = 1, code = 0; pass <= passes; ++pass) {
            int before = fake::countCalls(call);
            runIdlePass(state_, code);
            if (fake::countCalls(call) > before) {
                calling.push_back(pass);
            }
        }
        return calling;
    }
};

TEST_F(MonitorLoop, UpdatesFollowEveryUpdateTicksPlusOnePasses) {
    const struct {
        int updateTicks;
        std::vector<int> updates;
    } cases[] = {{0, {1, 2, 3, 4, 5, 6, 7}}, {5, {6}}, {2, {3, 6}}};
    for (const auto& c : cases) {
        start("quiet 1\n"); // each update in the tray refreshes the tooltip once
        state_.updateTicks = c.updateTicks;
        EXPECT_EQ(passesCalling("notifyTray modify", 7), c.updates) << c.updateTicks;
        EXPECT_EQ(state_.firstRun, 0);
    }
}

TEST_F(MonitorLoop, FrameOnTheFirstTickThenEveryTenthAndMessagesCountNoTicks) {
    start("delay 1\n");
    fake::queueEvent(platform::WindowEvent::Minimised);
    fake::queueEvent(platform::WindowEvent::TrayDoubleClick);
    EXPECT_EQ(passesCalling("swap", 23), (std::vector<int>{3, 13, 23}));
    EXPECT_EQ(state_.tickCounter, 21);
    EXPECT_EQ(state_.blinkCounter, 1);
    EXPECT_EQ(state_.trayMode, 0); // to the tray and back
}

TEST_F(MonitorLoop, ServerStopEndsAtTheNextIdlePass) {
    write("vigilon.ini", "fhlog 2\nstats 1\nquiet 1\nipadd 127.0.0.1\n");
    fake::acceptConnections();
    fake::queueReceive("greeting");
    fake::queueReceive(std::string(1, '\0')); // start-up: carry on
    fake::queueReceive("greeting");
    fake::queueReceive("\x01"); // first update: stop
    EXPECT_EQ(monitorMain(state_, nullptr), 0);
    EXPECT_EQ(fake::platform().sleeps, 1);
    EXPECT_EQ(state_.monitorClosing, 1);
    const std::string& sent = fake::network().sent;
    ASSERT_EQ(sent.size(), 3u * 2048u);
    EXPECT_EQ(sent.substr(2 * 2048, 19), "0 1 12 p2665_IBX 1 ");
    std::string log = read(EventLogFileName);
    EXPECT_EQ(log.find("Vigilon v1.1"), std::string::npos); // fhlog 2: no banner
    EXPECT_NE(log.find("Vigilon stats after shutdown"), std::string::npos);
    EXPECT_EQ(fake::countCalls("notifyTray delete"), 1);
    EXPECT_EQ(fake::platform().calls.back(), "destroyWindow");
}

TEST_F(MonitorLoop, MissingUnitFileEndsWithoutTrace) {
    std::filesystem::remove("../unitinfo.txt");
    const struct {
        const char* settings;
        const char* releaseCall;
        bool owned;
    } cases[] = {
        {"quiet 1\nfhlog 1\n", "notifyTray delete", true},
        {"fhlog 1\nstats 1\n", "destroyGlContext", true},
        {"nowin 1\nfhlog 1\n", "destroyWindow", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        fake::reset();
        state_ = MonitorState{};
        write("vigilon.ini", c.settings);
        EXPECT_EQ(monitorMain(state_, nullptr), 0);
        EXPECT_FALSE(exists(EventLogFileName));
        ASSERT_EQ(fake::platform().messageBoxes.size(), 1u);
        EXPECT_EQ(fake::platform().messageBoxes[0].owner != nullptr, c.owned);
        EXPECT_EQ(fake::countCalls(c.releaseCall), c.owned ? 1 : 0);
        EXPECT_EQ(state_.monitorClosing, 0);
    }
}

TEST_F(MonitorLoop, MinimiseAndDoubleClickToggleTheTray) {
    start("delay 1\nontop 1\ncpunum 3\n");
    fake::platform().calls.clear();
    handleWindowEvent(state_, platform::WindowEvent::Minimised);
    EXPECT_EQ(state_.trayMode, 1);
    EXPECT_EQ(fake::platform().calls,
              (std::vector<std::string>{"hideWindow", "deleteLists", "destroyGlContext",
                                        "loadSmallIcon 200", "notifyTray add"}));
    const platform::TrayIcon& added = fake::platform().trayRecords.back();
    EXPECT_EQ(added.size, 504u);
    EXPECT_EQ(added.flags, 7u);
    EXPECT_EQ(added.callbackMessage, 1025u);
    EXPECT_TRUE(passesCalling("swap", 12).empty()); // in the tray: no drawing, no stacking
    EXPECT_EQ(fake::countCalls("keepWindowOnTop"), 0);

    refreshTrayTip(state_);
    EXPECT_STREQ(fake::platform().trayRecords.back().tip,
                 "CPU#: 3    WU#: 1\nName: p2665_IBX\nCore: Unknown     Points: 0\n12% Completed");
    fake::platform().calls.clear();
    handleWindowEvent(state_, platform::WindowEvent::TrayDoubleClick);
    EXPECT_EQ(state_.trayMode, 0);
    EXPECT_EQ(
        fake::platform().calls,
        (std::vector<std::string>{"notifyTray delete", "showWindowRestored", "bringToForeground",
                                  "createGlContext", "buildFontLists 32 96 1"}));
    EXPECT_EQ(fake::platform().trayRecords.back().flags, 4u);
}

TEST_F(MonitorLoop, DisplayLifeInEachModeUntilCloseOrEscape) {
    const std::string window = "createStatusWindow GLSample Vigilon v1.1 256x135";
    const struct {
        const char* settings;
        bool windowFails;
        std::vector<std::string> calls; // display calls from start to end
    } cases[] = {
        {"ontop 1\n",
         false,
         {window, "createGlContext", "buildFontLists 32 96 1", "keepWindowOnTop", "swap",
          "deleteLists", "destroyGlContext", "destroyWindow"}},
        {"quiet 1\n",
         false,
         {window, "hideWindow", "loadSmallIcon 200", "notifyTray add", "notifyTray modify",
          "notifyTray delete", "destroyWindow"}},
        {"nowin 1\n", false, {}},
        {"quiet 1\nnowin 1\nontop 1\n", false, {}}, // silent wins over the tray
        // No display: the window cannot be made, and the monitor goes on as
        // in silent mode instead of half-showing a tray or a context.
        {"quiet 1\n", true, {window}},
        {"ontop 1\n", true, {window}},
    };
    const std::string displayCalls = " createStatusWindow createGlContext buildFontLists "
                                     "keepWindowOnTop swap deleteLists destroyGlContext "
                                     "destroyWindow hideWindow loadSmallIcon notifyTray ";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.settings) + (c.windowFails ? " without a display" : ""));
        fake::reset();
        state_ = MonitorState{};
        write("vigilon.ini", std::string("delay 1\nfhlog 1\n") + c.settings);
        fake::platform().createWindowFails = c.windowFails;
        // Escape or the close box (as queued in silent mode) after the first tick.
        fake::platform().onSleep = [&c](int) {
            fake::queueEvent(c.windowFails ? platform::WindowEvent::EscapeKey
                                           : platform::WindowEvent::CloseRequest);
        };
        EXPECT_EQ(monitorMain(state_, nullptr), 0);
        EXPECT_EQ(fake::platform().sleeps, 1);
        EXPECT_EQ(fake::countCalls("setIdlePriority") + fake::countCalls("postQuit 0") +
                      fake::countCalls("registerWindowClass GLSample 200"),
                  3);
        EXPECT_NE(read(EventLogFileName).find("Vigilon stats after shutdown\n\nTotal uptime: "),
                  std::string::npos);
        std::vector<std::string> seen;
        for (const std::string& call : fake::platform().calls) {
            std::string name = " "; // built step by step: GCC 12 at -O3 misreads a + chain
            name += call.substr(0, call.find(' '));
            name += ' ';
            if (displayCalls.find(name) != std::string::npos) {
                seen.push_back(call);
            }
        }
        EXPECT_EQ(seen, c.calls);
    }
}
