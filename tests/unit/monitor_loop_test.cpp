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

    // Runs passes until one does not continue or the limit is reached.
    PassResult runPasses(int limit) {
        int code = -1;
        PassResult result = PassResult::Continue;
        for (int i = 0; i < limit && result == PassResult::Continue; ++i) {
            result = runIdlePass(state_, code);
        }
        return result;
    }

    // Runs single passes and records after which ones an update ran (each
    // update in tray mode refreshes the tooltip once).
    std::vector<int> passesWithUpdates(int passes) {
        std::vector<int> updates;
        for (int pass = 1; pass <= passes; ++pass) {
            int before = fake::countCalls("notifyTray modify");
            runPasses(1);
            if (fake::countCalls("notifyTray modify") > before) {
                updates.push_back(pass);
            }
        }
        return updates;
    }

    // Ends the run by a close request after the given number of sleeps.
    static void quitAfterSleeps(int sleeps) {
        fake::platform().onSleep = [sleeps](int done) {
            if (done == sleeps) {
                fake::queueEvent(platform::WindowEvent::CloseRequest);
            }
        };
    }
};

TEST_F(MonitorLoop, StartUpOrderInWindowMode) {
    write("vigilon.ini", "fhlog 1\nontop 1\n");
    ASSERT_TRUE(startMonitor(state_, nullptr));
    const std::vector<std::string> expected = {"setIdlePriority",
                                               "registerWindowClass GLSample 200",
                                               "createStatusWindow GLSample Vigilon v1.1 256x135",
                                               "createGlContext", "buildFontLists 32 96 1"};
    EXPECT_EQ(fake::platform().calls, expected);
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_EQ(state_.firstRun, 1);
    EXPECT_STREQ(state_.coreName, "Unknown");
    EXPECT_NE(read(EventLogFileName).find("Continuing process at 12% for p2665_IBX on "),
              std::string::npos);
}

TEST_F(MonitorLoop, UpdatesFollowEveryUpdateTicksPlusOnePasses) {
    const struct {
        int updateTicks;
        std::vector<int> updates;
    } cases[] = {
        {0, {1, 2, 3, 4, 5, 6, 7}},
        {5, {6}},
        {2, {3, 6}},
    };
    for (const auto& c : cases) {
        fake::reset();
        state_ = MonitorState{};
        write("vigilon.ini", "quiet 1\n");
        ASSERT_TRUE(startMonitor(state_, nullptr));
        state_.updateTicks = c.updateTicks;
        EXPECT_EQ(passesWithUpdates(7), c.updates) << c.updateTicks;
        EXPECT_EQ(state_.firstRun, 0);
    }
}

TEST_F(MonitorLoop, FrameOnFirstPassThenEveryTenth) {
    write("vigilon.ini", "delay 1\n");
    ASSERT_TRUE(startMonitor(state_, nullptr));
    std::vector<int> drawn;
    for (int pass = 1; pass <= 21; ++pass) {
        int before = fake::platform().framesSwapped;
        runPasses(1);
        if (fake::platform().framesSwapped > before) {
            drawn.push_back(pass);
        }
    }
    EXPECT_EQ(drawn, (std::vector<int>{1, 11, 21}));
    EXPECT_EQ(state_.tickCounter, 21);
    EXPECT_EQ(state_.blinkCounter, 1);
    EXPECT_EQ(fake::countCalls("keepWindowOnTop"), 0);
}

TEST_F(MonitorLoop, MessagesCountNoTicks) {
    write("vigilon.ini", "delay 1\n");
    ASSERT_TRUE(startMonitor(state_, nullptr));
    fake::queueEvent(platform::WindowEvent::Minimised);
    fake::queueEvent(platform::WindowEvent::TrayDoubleClick);
    runPasses(2);
    EXPECT_EQ(state_.tickCounter, 0);
    EXPECT_EQ(state_.firstRun, 1);
    EXPECT_EQ(state_.trayMode, 0);
    runPasses(1);
    EXPECT_EQ(state_.tickCounter, 1);
}

TEST_F(MonitorLoop, CloseRequestShutsDownInOrder) {
    write("vigilon.ini", "fhlog 1\ndelay 1\n");
    quitAfterSleeps(3);
    EXPECT_EQ(monitorMain(state_, nullptr), 0);
    std::string log = read(EventLogFileName);
    EXPECT_NE(log.find("Vigilon stats after shutdown\n\nTotal uptime: 0.000000 hours\n"
                       "Total WUs completed: 0\n"),
              std::string::npos);
    const std::vector<std::string>& calls = fake::platform().calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 3], "deleteLists");
    EXPECT_EQ(calls[calls.size() - 2], "destroyGlContext");
    EXPECT_EQ(calls.back(), "destroyWindow");
    EXPECT_EQ(fake::platform().sleeps, 3);
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
        fake::reset();
        state_ = MonitorState{};
        write("vigilon.ini", c.settings);
        EXPECT_EQ(monitorMain(state_, nullptr), 0);
        EXPECT_FALSE(exists(EventLogFileName));
        ASSERT_EQ(fake::platform().messageBoxes.size(), 1u);
        EXPECT_EQ(fake::platform().messageBoxes[0].owner != nullptr, c.owned);
        EXPECT_EQ(fake::countCalls(c.releaseCall), c.owned ? 1 : 0) << c.settings;
        EXPECT_EQ(state_.monitorClosing, 0);
    }
}

TEST_F(MonitorLoop, SilentModeWinsOverTray) {
    write("vigilon.ini", "quiet 1\nnowin 1\nontop 1\n");
    ASSERT_TRUE(startMonitor(state_, nullptr));
    EXPECT_EQ(state_.trayMode, 0);
    EXPECT_EQ(state_.window, nullptr);
    runPasses(15);
    EXPECT_EQ(fake::countCalls("createStatusWindow"), 0);
    EXPECT_EQ(fake::countCalls("keepWindowOnTop"), 0);
    EXPECT_EQ(fake::platform().framesSwapped, 0);
    EXPECT_TRUE(fake::platform().trayRecords.empty());
}

TEST_F(MonitorLoop, MinimiseAndDoubleClickToggleTheTray) {
    write("vigilon.ini", "delay 1\nontop 1\ncpunum 3\n");
    ASSERT_TRUE(startMonitor(state_, nullptr));
    runPasses(1);
    EXPECT_EQ(fake::countCalls("keepWindowOnTop"), 1);
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
    EXPECT_STREQ(added.tip, "");
    runPasses(12); // in the tray: no drawing, no stacking
    EXPECT_EQ(fake::countCalls("keepWindowOnTop"), 0);
    EXPECT_EQ(fake::countCalls("swapBuffers"), 0);

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

TEST_F(MonitorLoop, EscapeQuitsWithCodeZero) {
    write("vigilon.ini", "delay 1\n");
    fake::platform().onSleep = [](int done) {
        if (done == 1) {
            fake::queueEvent(platform::WindowEvent::EscapeKey);
        }
    };
    EXPECT_EQ(monitorMain(state_, nullptr), 0);
    EXPECT_EQ(fake::countCalls("postQuit 0"), 1);
    EXPECT_FALSE(exists(EventLogFileName)); // fhlog absent: logging off
}

TEST_F(MonitorLoop, DisplayLifeInEachMode) {
    const struct {
        const char* settings;
        bool windowFails;
        std::vector<std::string> calls; // display calls from start to end
    } cases[] = {
        {"delay 1\n",
         false,
         {"createStatusWindow", "createGlContext", "buildFontLists 32 96 1", "swapBuffers",
          "deleteLists", "destroyGlContext", "destroyWindow"}},
        {"delay 1\nquiet 1\n",
         false,
         {"createStatusWindow", "hideWindow", "loadSmallIcon 200", "notifyTray add",
          "notifyTray modify", "notifyTray delete", "destroyWindow"}},
        {"delay 1\nnowin 1\n", false, {}},
        // No display: the window cannot be made, and the monitor goes on as
        // in silent mode instead of half-showing a tray or a context.
        {"delay 1\nquiet 1\n", true, {"createStatusWindow"}},
        {"delay 1\n", true, {"createStatusWindow"}},
    };
    const std::vector<std::string> displayCalls = {
        "createStatusWindow", "createGlContext", "buildFontLists", "swapBuffers",   "deleteLists",
        "destroyGlContext",   "destroyWindow",   "hideWindow",     "loadSmallIcon", "notifyTray"};
    for (const auto& c : cases) {
        fake::reset();
        state_ = MonitorState{};
        write("vigilon.ini", c.settings);
        fake::platform().createWindowFails = c.windowFails;
        quitAfterSleeps(1);
        EXPECT_EQ(monitorMain(state_, nullptr), 0);
        std::vector<std::string> seen;
        for (const std::string& call : fake::platform().calls) {
            for (const std::string& name : displayCalls) {
                if (call.rfind(name, 0) == 0) {
                    seen.push_back(call.rfind("createStatusWindow", 0) == 0 ? name : call);
                }
            }
        }
        EXPECT_EQ(seen, c.calls) << c.settings << c.windowFails;
    }
}
