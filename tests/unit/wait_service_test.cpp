#include "client_folder.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_main.hpp"
#include "monitor/report/companion_link.hpp"
#include "platform/stop.hpp"

#include <optional>

namespace {

using platform::WindowEvent;

constexpr int StepLimitMilliseconds = 10000;
constexpr const char* Reporting = "fhlog 1\nstats 1\nipadd 127.0.0.1\n";

class WaitService : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        writeUnitFile("p2665_IBX", 12);
    }

    void TearDown() override {
        fake::resetNetwork();
        ClientFolder::TearDown();
    }

    // A companion server that accepts and never greets: the next exchange
    // waits for the greeting up to its time limit.
    static void silentServer() {
        fake::acceptConnections();
        fake::network().stalledReceives = 1;
    }
};

// While the exchange waits, the window's events are handled and the frame
// is drawn once a second; only a close request ends the wait early.
TEST_F(WaitService, AWaitingExchangeServesTheWindow) {
    const struct {
        const char* name;
        const char* settings;
        std::optional<WindowEvent> event; // queued when the wait begins
        long long waited;
        int frames;
        int trayMode;
    } cases[] = {
        {"nothing happens", "", std::nullopt, StepLimitMilliseconds, 10, 0},
        {"minimise", "", WindowEvent::Minimised, StepLimitMilliseconds, 0, 1},
        {"double-click back", "quiet 1\n", WindowEvent::TrayDoubleClick, StepLimitMilliseconds, 10,
         0},
        {"uncovered", "", WindowEvent::Exposed, StepLimitMilliseconds, 11, 0},
        {"silent", "nowin 1\n", std::nullopt, StepLimitMilliseconds, 0, 0},
        {"close box", "", WindowEvent::CloseRequest, 50, 1, 0},
        {"escape", "", WindowEvent::EscapeKey, 50, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::resetNetwork(); // nothing listens at start-up
        state_ = MonitorState{};
        write("vigilon.ini", std::string(Reporting) + c.settings);
        ASSERT_TRUE(startMonitor(state_, nullptr));
        fake::platform().calls.clear();
        silentServer();
        if (c.event) {
            fake::queueEvent(*c.event);
        }
        EXPECT_EQ(exchangeStatus(state_), 1);
        EXPECT_EQ(fake::platform().waitedMilliseconds, c.waited);
        EXPECT_EQ(fake::countCalls("swap"), c.frames);
        EXPECT_EQ(state_.trayMode, c.trayMode);
        EXPECT_EQ(platform::stopRequested(), c.waited < StepLimitMilliseconds);
        EXPECT_EQ(state_.serverConnection.lastError,
                  c.waited < StepLimitMilliseconds ? fake::Interrupted : fake::TimedOut);
        EXPECT_TRUE(fake::network().sent.empty()); // a failed step ends the exchange
        EXPECT_EQ(fake::network().openSockets, 0);
    }
}

// A close request taken during a wait ends the monitor as a stop signal
// does: at the next idle pass, with the shutdown statistics and a final
// record.
TEST_F(WaitService, ACloseRequestDuringAWaitEndsTheMonitorInOrder) {
    for (WindowEvent event : {WindowEvent::CloseRequest, WindowEvent::EscapeKey}) {
        fake::reset();
        fake::resetNetwork();
        state_ = MonitorState{};
        std::filesystem::remove(EventLogFileName);
        write("vigilon.ini", Reporting);
        silentServer(); // the start-up exchange waits
        fake::queueEvent(event);
        EXPECT_EQ(monitorMain(state_, nullptr), 0);
        EXPECT_EQ(fake::platform().waitedMilliseconds, 50);
        EXPECT_EQ(fake::platform().sleeps, 0); // no idle tick before the quit
        EXPECT_EQ(fake::countCalls("postQuit 0"), 1);
        EXPECT_NE(read(EventLogFileName).find("Vigilon stats after shutdown"), std::string::npos);
        const std::string& sent = fake::network().sent;
        ASSERT_EQ(sent.size(), 2048u); // only the final record
        EXPECT_EQ(sent.substr(0, 19), "0 1 12 p2665_IBX 1 ");
        EXPECT_EQ(fake::platform().calls.back(), "destroyWindow");
    }
}

} // namespace
