// The message queue on X11: an internal queue of quit requests, fed by
// postQuit and by stop requests (SIGINT and SIGTERM), so that Ctrl+C or a
// service stop ends the monitor through its normal shutdown (this part works
// without any display), then the X events of the display once it is open.
// A posted quit counts as a stop request until it is taken, so a close
// request taken during a wait ends that wait. An X event is
// translated when it is taken, since the XEvent record does not fit the
// Message's native storage; the stored record says which window event, if
// any, it means.
#include "platform/messages.hpp"

#include "platform/posix/input_signal.hpp"
#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"
#include "platform/x11/session.hpp"

#include <cstring>
#include <deque>

namespace platform {
namespace {

std::deque<int> postedQuits;

// What a taken X event means, kept in Message::native until dispatch.
struct TakenEvent {
    bool hasEvent = false;
    WindowEvent event = WindowEvent::Minimised;
};
static_assert(sizeof(TakenEvent) <= sizeof(Message::native), "the record must fit");

// Input on the display's connection raises SIGIO, so an idle pass learns
// that nothing arrived without asking the server: it is the common case, and
// a read attempt on every pass cost a third more than the silent monitor.
posix::InputTicket displayInput;

// Whether an X event is queued or can be read, without blocking.
bool eventWaiting(Display* display) {
    static const bool signalled = posix::watchInput(ConnectionNumber(display));
    if (XEventsQueued(display, QueuedAlready) > 0) {
        return true;
    }
    if (!displayInput.takeInput() && signalled) {
        return false; // every request of the backend is flushed when made
    }
    return XPending(display) > 0;
}

void store(Message& message, const TakenEvent& taken) {
    std::memcpy(message.native, &taken, sizeof taken);
}

} // namespace

namespace {

// Takes the oldest posted quit request, if any.
bool takePostedQuit(Message& message) {
    if (postedQuits.empty()) {
        return false;
    }
    message.isQuit = true;
    message.exitCode = postedQuits.front();
    postedQuits.pop_front();
    posix::setQuitWaiting(!postedQuits.empty());
    return true;
}

void clear(Message& message) {
    message.isQuit = false;
    message.exitCode = 0;
    store(message, TakenEvent{});
}

// Takes the next X event of the open display, if one waits, translated.
bool takeDisplayEvent(Message& message) {
    Display* display = x11::openedDisplay();
    if (display == nullptr) {
        return false;
    }
    TakenEvent taken;
    if (x11::pollTray(taken.event)) { // the icon on the session bus was activated
        taken.hasEvent = true;
        store(message, taken);
        return true;
    }
    if (!eventWaiting(display)) {
        return false;
    }
    XEvent xevent{};
    XNextEvent(display, &xevent);
    taken.hasEvent = x11::translateWindowEvent(xevent, taken.event) ||
                     x11::translateTrayEvent(xevent, taken.event);
    XFlush(display); // what the event's handling asked of the server
    store(message, taken);
    return true;
}

} // namespace

bool takeMessage(Message& message) {
    watchStopRequests(); // already done at start-up; here for any other caller
    clear(message);
    if (posix::takeStopRequest()) {
        message.isQuit = true;
        return true;
    }
    // A connection lost while looking for an event has posted its quit
    // request: no frame may be drawn on it first.
    return takePostedQuit(message) || takeDisplayEvent(message) || takePostedQuit(message);
}

bool takeWindowMessage(Message& message) {
    clear(message);
    return !stopRequested() && takeDisplayEvent(message);
}

void dispatchMessage(Message& message) {
    TakenEvent taken;
    std::memcpy(&taken, message.native, sizeof taken);
    x11::Session& s = x11::session();
    if (taken.hasEvent && s.handler != nullptr) {
        s.handler(s.handlerContext, taken.event);
    }
}

void postQuit(int exitCode) {
    postedQuits.push_back(exitCode);
    posix::setQuitWaiting(true);
}

} // namespace platform
