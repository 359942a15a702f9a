// The session bus connection of the StatusNotifierItem icon: opened once,
// on the first icon, watching the StatusNotifierWatcher's name, and serviced
// from the message loop only when its socket signalled input (or output is
// left to write), so an idle pass costs no system call.
#include "platform/x11/status_notifier_bus.hpp"

#include "platform/posix/input_signal.hpp"
#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"

#include <cstdint>
#include <cstdlib>
#include <poll.h>

namespace platform::x11 {
namespace {

constexpr long long AnswerMs = 1000; // the bus answers in microseconds when it works
constexpr std::uint64_t SliceUs = 50000;

const char* const WatcherMatch = "type='signal',sender='org.freedesktop.DBus',"
                                 "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                                 "arg0='org.kde.StatusNotifierWatcher'";

int onWatcherOwner(sd_bus_message* message, void*, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) >= 0) {
        statusBus().watcherOwnerChanged(newOwner != nullptr && *newOwner != '\0');
    }
    return 0;
}

int onWatcherAnswer(sd_bus_message* message, void*, sd_bus_error*) {
    StatusBus& b = statusBus();
    int present = 0;
    if (sd_bus_message_is_method_error(message, nullptr) ||
        sd_bus_message_read(message, "b", &present) < 0) {
        present = 0;
    }
    b.answered = true;
    b.watcherOwnerChanged(present != 0, false);
    return 0;
}

// Processes what the connection holds; false when it broke.
bool processAll(sd_bus* bus) {
    int result = 0;
    while ((result = sd_bus_process(bus, nullptr)) > 0) {
    }
    return result >= 0;
}

// Waits for the watcher question's answer, at most AnswerMs and never past
// a stop request.
void awaitAnswer(StatusBus& b) {
    const long long end = posix::monotonicMilliseconds() + AnswerMs;
    while (!b.answered && b.bus != nullptr) {
        if (!processAll(b.bus)) {
            b.close();
            return;
        }
        if (b.answered || stopRequested() || posix::monotonicMilliseconds() >= end) {
            return;
        }
        sd_bus_wait(b.bus, SliceUs);
    }
}

bool connect(sd_bus*& bus) {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0' || sd_bus_new(&bus) < 0) {
        return false;
    }
    if (sd_bus_set_address(bus, address) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        bus = nullptr;
        return false;
    }
    return true;
}

// The match comes first, so that no change of the watcher's owner falls
// between the question and the watching.
bool askForWatcher(sd_bus* bus) {
    return sd_bus_add_match_async(bus, nullptr, WatcherMatch, onWatcherOwner, nullptr, nullptr) >=
               0 &&
           sd_bus_call_method_async(bus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "NameHasOwner", onWatcherAnswer,
                                    nullptr, "s", "org.kde.StatusNotifierWatcher") >= 0;
}

} // namespace

StatusBus& statusBus() {
    static StatusBus shared;
    return shared;
}

sd_bus* StatusBus::open() {
    if (tried) {
        return bus;
    }
    tried = true;
    if (!connect(bus)) {
        return nullptr;
    }
    if (!askForWatcher(bus)) {
        close();
        return nullptr;
    }
    awaitAnswer(*this);
    if (bus != nullptr) {
        signalled = posix::watchInput(sd_bus_get_fd(bus));
    }
    news = {}; // the first answer is the starting point, not a change
    return bus;
}

void StatusBus::close() {
    if (bus != nullptr) {
        sd_bus_close(bus);
        sd_bus_unref(bus);
        bus = nullptr;
    }
    watcherOwnerChanged(false);
}

void StatusBus::watcherOwnerChanged(bool present, bool isNewOwner) {
    if (present != watcher) {
        news.watcherChanged = true;
    }
    watcher = present;
    if (present && isNewOwner && onNewWatcher != nullptr) {
        onNewWatcher(); // a watcher that restarted knows nothing of us
    }
}

StatusNews StatusBus::service() {
    if (bus == nullptr) {
        return {};
    }
    if (input.takeInput() || !signalled || outputWaiting) {
        if (!processAll(bus)) {
            close();
        }
        outputWaiting = bus != nullptr && (sd_bus_get_events(bus) & POLLOUT) != 0;
    }
    const StatusNews taken = news;
    news = {};
    return taken;
}

} // namespace platform::x11
