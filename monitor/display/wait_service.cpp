#include "monitor/display/wait_service.hpp"

#include "monitor/display/display.hpp"
#include "monitor/monitor_state.hpp"
#include "platform/clock.hpp"
#include "platform/messages.hpp"
#include "platform/wait_hook.hpp"

namespace {

constexpr long long FramePeriodMilliseconds = 1000; // as the idle loop's every tenth tick
constexpr int MessagesPerService = 16;              // a flood of messages never holds a wait up

struct WaitService {
    MonitorState* state = nullptr;
    bool serving = false; // a message's handling is under way: no service inside it
    bool drawn = false;   // lastFrame holds the time of a frame drawn here
    long long lastFrame = 0;
};

WaitService service;

void dispatchWindowMessages() {
    platform::Message message;
    for (int taken = 0; taken < MessagesPerService && platform::takeWindowMessage(message);
         ++taken) {
        platform::dispatchMessage(message);
    }
}

void drawWhenDue(WaitService& w) {
    MonitorState& s = *w.state;
    if (s.trayMode != 0 || s.window == nullptr) {
        return;
    }
    const long long now = platform::monotonicMilliseconds();
    if (w.drawn && now - w.lastFrame < FramePeriodMilliseconds) {
        return;
    }
    drawStatusFrame(s);
    w.drawn = true;
    w.lastFrame = now;
}

void serveWindow(void* context) {
    WaitService& w = *static_cast<WaitService*>(context);
    if (w.serving) {
        return;
    }
    w.serving = true;
    dispatchWindowMessages();
    drawWhenDue(w);
    w.serving = false;
}

} // namespace

void installWaitService(MonitorState& s) {
    service = WaitService{};
    service.state = &s;
    platform::setWaitHook(serveWindow, &service);
}
