#include "platform/fake/fake_platform.hpp"

#include "common/text.hpp"
#include "platform/clock.hpp"
#include "platform/gl_context.hpp"
#include "platform/host.hpp"
#include "platform/message_box.hpp"
#include "platform/messages.hpp"
#include "platform/process.hpp"
#include "platform/renderer.hpp"
#include "platform/stop.hpp"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace fake {
namespace {

int windowToken = 0; // the fake window's address serves as its handle
int deviceToken = 0;
int contextToken = 0;
int iconToken = 0;

void record(const std::string& call) {
    platform().calls.push_back(call);
}

// A call with its numbers in the shortest exact-enough form.
void record(const char* name, std::initializer_list<float> values) {
    std::string step = name;
    for (float value : values) {
        char number[32];
        formatText(number, sizeof number, " %g", static_cast<double>(value));
        step += number;
    }
    record(step);
}

} // namespace

Platform& platform() {
    static Platform shared;
    return shared;
}

void reset() {
    platform() = Platform{};
}

void queueEvent(platform::WindowEvent event) {
    platform().messages.push_back({false, 0, event});
}

bool waitOut(int timeoutMilliseconds) {
    constexpr int SliceMilliseconds = 50;
    for (int waited = 0; waited < timeoutMilliseconds; waited += SliceMilliseconds) {
        platform().waitedMilliseconds += SliceMilliseconds;
        ::platform::serviceWaitHook();
        if (::platform::stopRequested()) {
            return true;
        }
    }
    return false;
}

int countCalls(const std::string& prefix) {
    const std::vector<std::string>& calls = platform().calls;
    return static_cast<int>(std::count_if(
        calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

} // namespace fake

using fake::Platform;
using fake::record;

namespace platform {

long long monotonicMilliseconds() {
    Platform& p = fake::platform();
    return p.sleptMilliseconds + p.waitedMilliseconds + p.extraSeconds * 1000;
}

std::time_t currentTime() {
    return 1700000000 + static_cast<std::time_t>(monotonicMilliseconds() / 1000);
}

void setWaitHook(WaitHook hook, void* context) {
    fake::platform().waitHook = hook;
    fake::platform().waitHookContext = context;
}

void serviceWaitHook() {
    Platform& p = fake::platform();
    if (p.waitHook != nullptr) {
        p.waitHook(p.waitHookContext);
    }
}

void sleepMilliseconds(int milliseconds) {
    Platform& p = fake::platform();
    p.sleptMilliseconds += milliseconds;
    ++p.sleeps;
    if (p.onSleep) {
        p.onSleep(p.sleeps);
    }
}

NativeHandle moduleInstance() {
    return nullptr;
}
void setIdlePriority() {
    record("setIdlePriority");
}
const char* appendTextMode() {
    return "a";
}

bool takeMessage(Message& message) {
    Platform& p = fake::platform();
    if (p.messages.empty()) {
        return false;
    }
    fake::QueuedMessage queued = p.messages.front();
    p.messages.pop_front();
    message.isQuit = queued.isQuit;
    message.exitCode = queued.exitCode;
    static_assert(sizeof queued.event <= sizeof message.native);
    std::memcpy(message.native, &queued.event, sizeof queued.event);
    return true;
}

bool takeWindowMessage(Message& message) {
    return !stopRequested() && takeMessage(message);
}

void dispatchMessage(Message& message) {
    Platform& p = fake::platform();
    WindowEvent event;
    std::memcpy(&event, message.native, sizeof event);
    if (p.handler != nullptr) {
        p.handler(p.handlerContext, event);
    }
}

void postQuit(int exitCode) {
    record("postQuit " + std::to_string(exitCode));
    fake::platform().messages.push_back({true, exitCode, {}});
}

void registerWindowClass(NativeHandle, const char* className, int iconResource,
                         WindowEventHandler handler, void* context) {
    Platform& p = fake::platform();
    p.handler = handler;
    p.handlerContext = context;
    record(std::string("registerWindowClass ") + className + " " + std::to_string(iconResource));
}

NativeHandle createStatusWindow(NativeHandle, const char* className, const char* title, int width,
                                int height) {
    record(std::string("createStatusWindow ") + className + " " + title + " " +
           std::to_string(width) + "x" + std::to_string(height));
    return fake::platform().createWindowFails ? nullptr : &fake::windowToken;
}

void keepWindowOnTop(NativeHandle) {
    record("keepWindowOnTop");
}
void hideWindow(NativeHandle) {
    record("hideWindow");
}
void showWindowRestored(NativeHandle) {
    record("showWindowRestored");
}
void bringToForeground(NativeHandle) {
    record("bringToForeground");
}
void destroyWindow(NativeHandle) {
    record("destroyWindow");
}

void showMessageBox(NativeHandle owner, const char* text, const char* caption) {
    record("showMessageBox");
    fake::platform().messageBoxes.push_back({owner, text, caption});
}

GlContext createGlContext(NativeHandle) {
    record("createGlContext");
    return {&fake::deviceToken, &fake::contextToken};
}

void destroyGlContext(NativeHandle, NativeHandle, NativeHandle) {
    record("destroyGlContext");
}

void buildFontLists(NativeHandle, int first, int count, std::uint32_t listBase) {
    record("buildFontLists " + std::to_string(first) + " " + std::to_string(count) + " " +
           std::to_string(listBase));
}

void swapBuffers(NativeHandle) {
    record("swap");
}
void clearFrame() {
    record("clear");
}
void resetModelView(float x, float y, float z) {
    record("translate", {x, y, z});
}
void drawQuad(const Vertex (&corners)[4]) {
    for (const Vertex& v : corners) {
        record("vertex", {v.red, v.green, v.blue, v.x, v.y, v.z});
    }
}
void setColour(float red, float green, float blue) {
    record("colour", {red, green, blue});
}
void setRasterPosition(float x, float y) {
    record("raster", {x, y});
}
void drawListText(const char* text, int length, std::uint32_t listBase) {
    record("text " + std::to_string(listBase) + " " +
           std::string(text, static_cast<std::size_t>(length)));
}

std::uint32_t generateLists(int) {
    return 1;
}
void deleteLists(std::uint32_t, int) {
    record("deleteLists");
}

NativeHandle loadSmallIcon(NativeHandle, int iconResource) {
    record("loadSmallIcon " + std::to_string(iconResource));
    return &fake::iconToken;
}

void notifyTray(TrayAction action, const TrayIcon& icon) {
    static const char* const names[] = {"notifyTray add", "notifyTray modify", "notifyTray delete"};
    record(names[static_cast<int>(action)]);
    fake::platform().trayRecords.push_back(icon);
}

void readProcessorInfo(char* name, int nameSize, std::uint32_t* megahertz) {
    Platform& p = fake::platform();
    if (p.hasProcessorInfo) {
        copyText(name, static_cast<std::size_t>(nameSize), p.processorName.c_str());
        *megahertz = p.megahertz;
    }
}

std::uint64_t physicalMemory() {
    return fake::platform().memory;
}

} // namespace platform

int cpuidAvailable() {
    return fake::platform().hasCpuid;
}

std::uint32_t queryCpuid(CpuidResult* result) {
    const std::string& vendor = fake::platform().vendor;
    if (cpuidAvailable() == 0) {
        return 0;
    }
    std::memset(result, 0, sizeof *result);
    std::memcpy(result->vendor, vendor.data(), std::min(vendor.size(), sizeof result->vendor));
    return 1;
}
