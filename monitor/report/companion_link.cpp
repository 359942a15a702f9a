#include "monitor/report/companion_link.hpp"

#include "common/companion_protocol.hpp"
#include "common/text.hpp"
#include "monitor/client_api/api_source.hpp"
#include "monitor/display/display.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/report/client_service.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

// The record's format as a literal, so that its arguments are checked.
#define StatusRecordFormat "%d %d %d %s %d %f %s %s %d %d %s %d %d"

// Command 1 (stop) stays in lastServerCommand for the idle loop to act on.
constexpr int CommandToggleTray = companion::ToggleTray;
constexpr int CommandRestartService = companion::RestartClient;

// A fresh connection record aimed at the configured server.
void prepareConnection(MonitorState& s) {
    s.serverConnection = ServerConnection{};
    s.serverConnection.port = CompanionServerPort;
    s.serverConnection.address = s.serverAddress;
}

void clearMessage(MonitorState& s) {
    std::fill(std::begin(s.messageBuffer), std::end(s.messageBuffer), '\0');
}

// The status record, written over the start of the message; whatever the
// buffer held after the record's terminating zero stays and is sent too.
// After it, our own server reads what the monitor knows beyond the record:
// its source, whether it obeys the client commands, and today's client's
// own view of the unit.
void formatStatusRecord(MonitorState& s) {
    static_assert(std::string_view(companion::RecordFormat) == StatusRecordFormat);
    std::size_t end = formatText(s.messageBuffer, sizeof s.messageBuffer, StatusRecordFormat, s.cpuNumber,
                                 s.unitCount, s.progressPercent, s.unitName, s.monitorClosing,
                                 static_cast<double>(s.cpuMhz), s.cpuVendor, s.coreName,
                                 s.unitFrames, s.unitPoints, s.userName, s.teamNumber, s.trayMode);
    companion::Extension extension;
    extension.fromApi = s.clientApi != nullptr;
    extension.obeysControl = s.remoteControlEnabled == 1;
    if (extension.fromApi && s.unitFromApi != 0) {
        extension.state = s.apiUnitState;
        extension.paused = s.apiUnitPaused != 0;
        extension.etaSeconds = s.apiEtaSeconds;
        extension.ppd = s.apiPointsPerDay;
        extension.prcg = s.apiUnitPrcg;
    }
    companion::writeExtension(s.messageBuffer, sizeof s.messageBuffer, end, extension);
}

// Today's client's folding state for commands 4 to 6.
const char* clientStateFor(int command) {
    switch (command) {
    case companion::PauseClient:
        return "pause";
    case companion::FoldClient:
        return "fold";
    case companion::FinishClient:
        return "finish";
    default:
        return nullptr;
    }
}

void sendMessage(MonitorState& s) {
    sendAll(s.serverConnection, static_cast<int>(sizeof s.messageBuffer), s.messageBuffer);
}

// Acts on the reply's command; any other value stays until the next reply.
void obeyCommand(MonitorState& s) {
    if (s.lastServerCommand == CommandToggleTray) {
        s.trayMode = s.trayMode == 0 ? 1 : 0;
        applyTrayMode(s); // does nothing without a window (silent mode)
        s.lastServerCommand = 0;
    }
    if (s.lastServerCommand == CommandRestartService && s.remoteControlEnabled == 1) {
        restartClientService(s);
        s.lastServerCommand = 0;
    }
    // Pause, fold and finish reach today's client only; elsewhere they are
    // unknown values, kept like any other.
    const char* folding = clientStateFor(s.lastServerCommand);
    if (folding != nullptr && s.clientApi != nullptr && s.remoteControlEnabled == 1) {
        sendClientState(s, folding);
        s.lastServerCommand = 0;
    }
}

} // namespace

int exchangeStatus(MonitorState& s) {
    prepareConnection(s);
    if (openConnection(s.serverConnection) != 0) {
        return 0;
    }
    clearMessage(s);
    receiveOnce(s.serverConnection, static_cast<int>(sizeof s.messageBuffer), s.messageBuffer);
    formatStatusRecord(s);
    sendMessage(s);
    clearMessage(s);
    receiveOnce(s.serverConnection, static_cast<int>(sizeof s.messageBuffer), s.messageBuffer);
    // The first byte is a signed 8-bit command; nothing received leaves 0.
    s.lastServerCommand = static_cast<signed char>(s.messageBuffer[0]);
    obeyCommand(s);
    closeConnection(s.serverConnection);
    return 1;
}

int sendFinalStatus(MonitorState& s) {
    s.monitorClosing = 1;
    prepareConnection(s);
    if (openConnection(s.serverConnection) != 0) {
        return 0;
    }
    formatStatusRecord(s);
    sendMessage(s);
    closeConnection(s.serverConnection);
    return 1;
}
