#include "client_folder.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_main.hpp"
#include "monitor/report/companion_link.hpp"
#include "platform/stop.hpp"

#include <optional>
#include <tuple>

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
};

// While the exchange waits, the window's events are handled and the frame
// is drawn once a second; only a close request ends the wait early.
TEST_F(WaitService, AWaitingExchangeServesTheWindow) {
    // Settings, an event queued when the wait begins, then the time waited, the
    // frames drawn and the tray mode afterwards.
    const std::tuple<const char*, const char*, std::optional<WindowEvent>, long long, int, int>
        cases[] = {
            {"nothing happens", "", std::nullopt, StepLimitMilliseconds, 10, 0},
            {"minimise", "", WindowEvent::Minimised, StepLimitMilliseconds, 0, 1},
            {"uncovered", "", WindowEvent::Exposed, StepLimitMilliseconds, 11, 0},
            {"silent", "nowin 1\n", std::nullopt, StepLimitMilliseconds, 0, 0},
            {"close box", "", WindowEvent::CloseRequest, 50, 1, 0},
        };
    for (const auto& [name, settings, event, waited, frames, trayMode] : cases) {
        SCOPED_TRACE(name);
        fake::reset();
        fake::resetNetwork(); // nothing listens at start-up
        state_ = MonitorState{};
        write("vigilon.ini", std::string(Reporting) + settings);
        ASSERT_TRUE(startMonitor(state_, nullptr));
        fake::platform().calls.clear();
        fake::acceptConnections();
        fake::network().stalledReceives = 1; // no greeting: the exchange waits for it
        if (event) {
            fake::queueEvent(*event);
        }
        EXPECT_EQ(exchangeStatus(state_), 1);
        EXPECT_EQ(fake::platform().waitedMilliseconds, waited);
        EXPECT_EQ(fake::countCalls("swap"), frames);
        EXPECT_EQ(state_.trayMode, trayMode);
        EXPECT_EQ(platform::stopRequested(), waited < StepLimitMilliseconds);
        EXPECT_TRUE(fake::network().sent.empty()); // a failed step ends the exchange
        EXPECT_EQ(fake::network().openSockets, 0);
    }
}

// A close request taken during a wait ends the monitor as a stop signal
// does: at the next idle pass, with the shutdown statistics and a final
// record.
TEST_F(WaitService, ACloseRequestDuringAWaitEndsTheMonitorInOrder) {
    write("vigilon.ini", Reporting);
    fake::acceptConnections();
    fake::network().stalledReceives = 1; // the start-up exchange waits for the greeting
    fake::queueEvent(WindowEvent::CloseRequest);
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

} // namespace
