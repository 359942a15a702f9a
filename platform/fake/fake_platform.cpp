#include "platform/fake/fake_platform.hpp"

#include "common/text.hpp"
#include "platform/clock.hpp"
#include "platform/gl_context.hpp"
#include "platform/message_box.hpp"
#include "platform/messages.hpp"
#include "platform/process.hpp"
#include "platform/renderer.hpp"

#include <cstring>

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
    ++fake::platform().framesSwapped;
}

void clearFrame() {
    fake::record("clearFrame");
}
void resetModelView(float, float, float) {
    fake::record("resetModelView");
}
void drawQuad(const Vertex (&)[4]) {
    fake::record("drawQuad");
}
void setColour(float, float, float) {
    fake::record("setColour");
}
void setRasterPosition(float, float) {
    fake::record("setRasterPosition");
}

void drawListText(const char* text, int length, std::uint32_t) {
    fake::platform().drawnTexts.emplace_back(text, static_cast<std::size_t>(length));
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
