#include "platform/fake/fake_platform.hpp"

#include "common/text.hpp"
#include "platform/clock.hpp"
#include "platform/gl_context.hpp"
#include "platform/message_box.hpp"
#include "platform/messages.hpp"
#include "platform/process.hpp"
#include "platform/renderer.hpp"

#include <cstring>
#include <initializer_list>

namespace fake {
namespace {

Platform& instance() {
    static Platform shared;
    return shared;
}

int windowToken = 0; // the fake window's address serves as its handle
int deviceToken = 0;
int contextToken = 0;
int iconToken = 0;

void record(const std::string& call) {
    instance().calls.push_back(call);
}

// A renderer step with its numbers in the shortest exact-enough form.
void recordStep(const char* name, std::initializer_list<float> values) {
    std::string step = name;
    for (float value : values) {
        char number[32];
        formatText(number, sizeof number, " %g", static_cast<double>(value));
        step += number;
    }
    instance().renderSteps.push_back(step);
}

} // namespace

Platform& platform() {
    return instance();
}

void reset() {
    instance() = Platform{};
}

void queueEvent(platform::WindowEvent event) {
    QueuedMessage message;
    message.event = event;
    instance().messages.push_back(message);
}

void queueQuit(int exitCode) {
    QueuedMessage message;
    message.isQuit = true;
    message.exitCode = exitCode;
    instance().messages.push_back(message);
}

int countCalls(const std::string& prefix) {
    int count = 0;
    for (const std::string& call : instance().calls) {
        count += call.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

} // namespace fake

using fake::Platform;

namespace platform {

std::time_t currentTime() {
    Platform& p = fake::platform();
    return p.startTime + static_cast<std::time_t>(p.sleptMilliseconds / 1000 + p.extraSeconds);
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
    fake::record("setIdlePriority");
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

void dispatchMessage(Message& message) {
    Platform& p = fake::platform();
    WindowEvent event;
    std::memcpy(&event, message.native, sizeof event);
    if (p.handler != nullptr) {
        p.handler(p.handlerContext, event);
    }
}

void postQuit(int exitCode) {
    fake::record("postQuit " + std::to_string(exitCode));
    fake::queueQuit(exitCode);
}

void registerWindowClass(NativeHandle, const char* className, int iconResource,
                         WindowEventHandler handler, void* context) {
    Platform& p = fake::platform();
    p.handler = handler;
    p.handlerContext = context;
    fake::record(std::string("registerWindowClass ") + className + " " +
                 std::to_string(iconResource));
}

NativeHandle createStatusWindow(NativeHandle, const char* className, const char* title, int width,
                                int height) {
    fake::record(std::string("createStatusWindow ") + className + " " + title + " " +
                 std::to_string(width) + "x" + std::to_string(height));
    return fake::platform().createWindowFails ? nullptr : &fake::windowToken;
}

void keepWindowOnTop(NativeHandle) {
    fake::record("keepWindowOnTop");
}
void hideWindow(NativeHandle) {
    fake::record("hideWindow");
}
void showWindowRestored(NativeHandle) {
    fake::record("showWindowRestored");
}
void bringToForeground(NativeHandle) {
    fake::record("bringToForeground");
}
void destroyWindow(NativeHandle) {
    fake::record("destroyWindow");
}

void showMessageBox(NativeHandle owner, const char* text, const char* caption) {
    fake::record("showMessageBox");
    fake::platform().messageBoxes.push_back({owner, text, caption});
}

GlContext createGlContext(NativeHandle) {
    fake::record("createGlContext");
    return {&fake::deviceToken, &fake::contextToken};
}

void destroyGlContext(NativeHandle, NativeHandle, NativeHandle) {
    fake::record("destroyGlContext");
}

void buildFontLists(NativeHandle, int first, int count, std::uint32_t listBase) {
    fake::record("buildFontLists " + std::to_string(first) + " " + std::to_string(count) + " " +
                 std::to_string(listBase));
}

void swapBuffers(NativeHandle) {
    fake::record("swapBuffers");
    fake::recordStep("swap", {});
    ++fake::platform().framesSwapped;
}

void clearFrame() {
    fake::record("clearFrame");
    fake::recordStep("clear", {});
}
void resetModelView(float x, float y, float z) {
    fake::record("resetModelView");
    fake::recordStep("translate", {x, y, z});
}
void drawQuad(const Vertex (&corners)[4]) {
    fake::record("drawQuad");
    for (const Vertex& v : corners) {
        fake::recordStep("vertex", {v.red, v.green, v.blue, v.x, v.y, v.z});
    }
}
void setColour(float red, float green, float blue) {
    fake::record("setColour");
    fake::recordStep("colour", {red, green, blue});
}
void setRasterPosition(float x, float y) {
    fake::record("setRasterPosition");
    fake::recordStep("raster", {x, y});
}

void drawListText(const char* text, int length, std::uint32_t listBase) {
    std::string drawn(text, static_cast<std::size_t>(length));
    fake::platform().drawnTexts.push_back(drawn);
    fake::platform().renderSteps.push_back("text " + std::to_string(listBase) + " " + drawn);
}

std::uint32_t generateLists(int) {
    return 1;
}
void deleteLists(std::uint32_t, int) {
    fake::record("deleteLists");
}

NativeHandle loadSmallIcon(NativeHandle, int iconResource) {
    fake::record("loadSmallIcon " + std::to_string(iconResource));
    return &fake::iconToken;
}

void notifyTray(TrayAction action, const TrayIcon& icon) {
    static const char* const names[] = {"notifyTray add", "notifyTray modify", "notifyTray delete"};
    fake::record(names[static_cast<int>(action)]);
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
    Platform& p = fake::platform();
    if (p.hasCpuid == 0) {
        return 0;
    }
    std::memset(result, 0, sizeof *result);
    std::memcpy(result->vendor, p.vendor.data(),
                p.vendor.size() < sizeof result->vendor ? p.vendor.size() : sizeof result->vendor);
    if (p.highestLeaf > 0) {
        result->signature = p.signature;
        result->features = p.features;
    }
    return p.highestLeaf;
}
