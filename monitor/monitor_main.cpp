#include "monitor/monitor_main.hpp"

#include "monitor/client_api/api_source.hpp"
#include "monitor/client_config.hpp"
#include "monitor/display/display.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/report/companion_link.hpp"
#include "monitor/settings.hpp"
#include "monitor/system_identity.hpp"
#include "monitor/unit_change.hpp"
#include "monitor/unit_tracker.hpp"
#include "platform/clock.hpp"
#include "platform/messages.hpp"
#include "platform/process.hpp"
#include "platform/stop.hpp"
#include "platform/window.hpp"

namespace {

constexpr int TickMilliseconds = 100;
constexpr int BlinkPeriod = 10;

void onWindowEvent(void* context, platform::WindowEvent event) {
    handleWindowEvent(*static_cast<MonitorState*>(context), event);
}

void createDisplay(MonitorState& s) {
    if (s.silentMode == 0) {
        s.window = platform::createStatusWindow(s.instance, WindowClassName, ProgramTitle,
                                                StatusWindowWidth, StatusWindowHeight);
        if (s.window == nullptr) {
            // No display to show on: go on as in silent mode, so that logging
            // and reporting are never lost.
            s.silentMode = 1;
            s.trayMode = 0;
        }
    }
    if (s.trayMode == 0 && s.silentMode == 0) {
        createRenderContext(s);
        createFontLists(s);
    }
    if (s.trayMode != 0) {
        startInTray(s);
    }
}

// The idle work of a pass that found no message: one update tick.
PassResult runTick(MonitorState& s) {
    bool hasWindow = s.window != nullptr;
    if (s.alwaysOnTop != 0 && s.trayMode == 0 && hasWindow) {
        platform::keepWindowOnTop(s.window);
    }
    if (s.lastServerCommand == 1) {
        return PassResult::ServerStop;
    }
    if (s.trayMode == 0 && s.blinkCounter == 0 && hasWindow) {
        drawStatusFrame(s);
    }
    waitWithClientApi(s, TickMilliseconds);
    ++s.tickCounter;
    if (++s.blinkCounter >= BlinkPeriod) {
        s.blinkCounter = 0;
    }
    if (s.tickCounter > s.updateTicks) {
        runUpdate(s);
        s.tickCounter = 0;
    }
    if (s.firstRun != 0) {
        s.firstRun = 0;
    }
    return PassResult::Continue;
}

// The first read of the unit's source. Without a clapi setting the unit
// file is read, and today's client is asked only when there is none; the
// missing-file notice comes when neither answers.
bool readFirstUnit(MonitorState& s) {
    char host[32];
    std::uint16_t port = 0;
    UnitSource source = parseUnitSource(s.clientApiAddress, host, sizeof host, port);
    if (source == UnitSource::Api) {
        startClientApi(s, host, port, ClientApiFirstStateMilliseconds);
        return true; // the client may start later: its unit shows once it does
    }
    if (source == UnitSource::FileThenApi && !unitFileExists()) {
        if (startClientApi(s, host, port, ClientApiFirstStateMilliseconds)) {
            return true;
        }
        stopClientApi(s);
    }
    return pollUnitFile(s) != 0;
}

int pollUnitSource(MonitorState& s) {
    return s.clientApi != nullptr ? pollClientApi(s) : pollUnitFile(s);
}

} // namespace

bool startMonitor(MonitorState& s, platform::NativeHandle instance) {
    // First, so that a stop request at any later moment ends the monitor in
    // order: a wait then in progress ends as a failed step.
    platform::watchStopRequests();
    s.instance = instance;
    platform::setIdlePriority();
    platform::registerWindowClass(s.instance, WindowClassName, WindowIconResource, onWindowEvent,
                                  &s);
    readSettings(s);
    if (s.trayMode != 0 && s.silentMode != 0) {
        s.trayMode = 0;
    }
    readClientConfig(s);
    identifySystem(s);
    createDisplay(s);
    installWaitService(s);
    s.unitStartTime = platform::currentTime();
    s.programStartTime = platform::currentTime();
    if (!readFirstUnit(s)) {
        releaseDisplay(s);
        return false;
    }
    if (s.logEnabled == 1) {
        if (s.clientApi != nullptr && s.unitCount == 0) {
            s.startEntryPending = 1; // written when the client's first unit shows
        } else {
            writeStartEntry(s);
        }
    }
    lookupCurrentUnit(s);
    if (s.serverLinkEnabled != 0) {
        exchangeStatus(s);
    }
    if (s.trayMode != 0) {
        refreshTrayTip(s);
    }
    return true;
}

void runUpdate(MonitorState& s) {
    pollUnitSource(s);
    if (s.serverLinkEnabled != 0) {
        exchangeStatus(s);
    }
    if (s.trayMode != 0) {
        refreshTrayTip(s);
    }
}

PassResult runIdlePass(MonitorState& s, int& quitCode) {
    platform::Message message;
    if (!platform::takeMessage(message)) {
        return runTick(s);
    }
    if (message.isQuit) {
        quitCode = message.exitCode;
        return PassResult::Quit;
    }
    platform::dispatchMessage(message);
    return PassResult::Continue;
}

void shutdownMonitor(MonitorState& s) {
    if (s.logEnabled != 0) {
        writeShutdownStatistics(s);
    }
    if (s.serverLinkEnabled != 0) {
        sendFinalStatus(s);
    }
    stopClientApi(s);
    releaseDisplay(s);
}

int monitorMain(MonitorState& s, platform::NativeHandle instance) {
    if (!startMonitor(s, instance)) {
        return 0;
    }
    int quitCode = 0;
    PassResult result = PassResult::Continue;
    while (result == PassResult::Continue) {
        result = runIdlePass(s, quitCode);
    }
    shutdownMonitor(s);
    return result == PassResult::Quit ? quitCode : 0;
}
