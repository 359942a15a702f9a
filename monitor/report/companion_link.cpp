#include "monitor/report/companion_link.hpp"

#include "common/text.hpp"
#include "monitor/display/display.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/report/client_service.hpp"

#include <algorithm>
#include <iterator>

namespace {

// Command 1 (stop) stays in lastServerCommand for the idle loop to act on.
constexpr int CommandToggleTray = 2;
constexpr int CommandRestartService = 3;

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
void formatStatusRecord(MonitorState& s) {
    formatText(s.messageBuffer, sizeof s.messageBuffer, "%d %d %d %s %d %f %s %s %d %d %s %d %d",
               s.cpuNumber, s.unitCount, s.progressPercent, s.unitName, s.monitorClosing,
               static_cast<double>(s.cpuMhz), s.cpuVendor, s.coreName, s.unitFrames, s.unitPoints,
               s.userName, s.teamNumber, s.trayMode);
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
