// A stateful, recording platform for the unit tests: a scripted clock, a
// scripted message queue with window events, scripted host facts, and a
// journal of every display call.
#pragma once

#include "platform/host.hpp"
#include "platform/tray.hpp"
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
    // Clock: currentTime() gives startTime plus the slept time, plus any
    // extra seconds a test adds.
    std::time_t startTime = 1700000000;
    long long sleptMilliseconds = 0;
    long long extraSeconds = 0;
    int sleeps = 0;
    // Called after each sleep with the number of sleeps so far.
    std::function<void(int)> onSleep;

    std::deque<QueuedMessage> messages;
    platform::WindowEventHandler handler = nullptr;
    void* handlerContext = nullptr;

    // Host facts.
    int hasCpuid = 1;
    std::uint32_t highestLeaf = 1;
    std::string vendor = "GenuineIntel";
    std::uint32_t signature = 0x306c3;
    std::uint32_t features = 0xbfebfbff;
    bool hasProcessorInfo = true;
    std::string processorName = "Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz";
    std::uint32_t megahertz = 3400;
    std::uint64_t memory = 8ull << 30;

    // What happened.
    bool createWindowFails = false;
    std::vector<std::string> calls;
    std::vector<MessageBoxShown> messageBoxes;
    std::vector<platform::TrayIcon> trayRecords; // the record of each tray call
    std::vector<std::string> drawnTexts;
    // Every renderer step with its values, e.g. "raster -0.95 0.7" or
    // "text 1 Name: x" (list base, then the bytes as given).
    std::vector<std::string> renderSteps;
    int framesSwapped = 0;
};

// The one fake platform; reset() gives a fresh one.
Platform& platform();
void reset();

// Queues a window event or a quit request for takeMessage.
void queueEvent(platform::WindowEvent event);
void queueQuit(int exitCode);

// Number of journal entries that begin with prefix.
int countCalls(const std::string& prefix);

} // namespace fake
