// The session bus connection behind the StatusNotifierItem icon. Private to
// the status_notifier files.
#pragma once

#include "platform/posix/input_signal.hpp"
#include "platform/x11/status_notifier.hpp"

#include <systemd/sd-bus.h>

namespace platform::x11 {

struct StatusBus {
    sd_bus* bus = nullptr;
    bool tried = false;     // the connection is made at most once per run
    bool answered = false;  // the first question about the watcher was answered
    bool watcher = false;   // a StatusNotifierWatcher owns its name
    bool signalled = false; // SIGIO is armed on the socket
    bool outputWaiting = false;
    posix::InputTicket input;
    StatusNews news;
    void (*onNewWatcher)() = nullptr; // a new watcher owner: the item registers again

    // The connection, made on first use; null without a session bus.
    sd_bus* open();
    // Ends the connection for good; the watcher counts as gone.
    void close();
    void watcherOwnerChanged(bool present, bool isNewOwner = true);
    // After a message is queued: the next service writes what is left.
    void sent() { outputWaiting = true; }
    StatusNews service();
};

StatusBus& statusBus();

} // namespace platform::x11
