#include "monitor/monitor_main.hpp"

#include "monitor/client_config.hpp"
#include "monitor/display/display.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/report/companion_link.hpp"
#include "monitor/settings.hpp"
#include "monitor/system_identity.hpp"
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
    platform::sleepMilliseconds(TickMilliseconds);
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
    s.unitStartTime = platform::currentTime();
    s.programStartTime = platform::currentTime();
    if (pollUnitFile(s) == 0) {
        releaseDisplay(s);
        return false;
    }
    if (s.logEnabled == 1) {
        writeStartEntry(s);
    }
    lookupProtein(s);
    if (s.serverLinkEnabled != 0) {
        exchangeStatus(s);
    }
    if (s.trayMode != 0) {
        refreshTrayTip(s);
    }
    return true;
}

void runUpdate(MonitorState& s) {
    pollUnitFile(s);
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
