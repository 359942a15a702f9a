// A stateful, recording platform for the unit tests: a scripted clock, a
// scripted message queue with window events, scripted host facts, and a
// journal of every display and renderer call.
#pragma once

#include "platform/tray.hpp"
#include "platform/wait_hook.hpp"
#include "platform/window.hpp"

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace fake {

struct QueuedMessage {
    bool isQuit = false;
    int exitCode = 0;
    platform::WindowEvent event = platform::WindowEvent::CloseRequest;
};

struct MessageBoxShown {
    void* owner;
    std::string text;
    std::string caption;
};

struct Platform {
    // Clock: currentTime() gives a fixed start plus the slept and waited
    // time, plus any extra seconds a test adds; monotonicMilliseconds() the
    // same in milliseconds.
    long long sleptMilliseconds = 0;
    long long waitedMilliseconds = 0; // in scripted waits (fake::waitOut)
    long long extraSeconds = 0;
    int sleeps = 0;
    std::function<void(int)> onSleep; // called after each sleep with the count so far

    platform::WaitHook waitHook = nullptr;
    void* waitHookContext = nullptr;

    std::deque<QueuedMessage> messages;
    platform::WindowEventHandler handler = nullptr;
    void* handlerContext = nullptr;

    // Host facts.
    int hasCpuid = 1;
    std::string vendor = "GenuineIntel";
    bool hasProcessorInfo = true;
    std::string processorName = "Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz";
    std::uint32_t megahertz = 3400;
    std::uint64_t memory = 8ull << 30;

    bool createWindowFails = false;

    // Every call with its arguments, e.g. "createStatusWindow GLSample Vigilon
    // v1.1 256x135"; renderer steps with their values, e.g. "raster -0.95 0.7"
    // or "text 1 Name: x" (list base, then the bytes as given).
    std::vector<std::string> calls;
    std::vector<MessageBoxShown> messageBoxes;
    std::vector<platform::TrayIcon> trayRecords; // the record of each tray call
};

// The one fake platform; reset() gives a fresh one.
Platform& platform();
void reset();

// Queues a window event for takeMessage.
void queueEvent(platform::WindowEvent event);

// A wait that nothing ends: runs out timeoutMilliseconds in slices as the
// real backends do, serving the wait hook between them and ending early on a
// stop request. True when a stop request ended it, false when time ran out.
bool waitOut(int timeoutMilliseconds);

// Number of journal entries that begin with prefix.
int countCalls(const std::string& prefix);

} // namespace fake
