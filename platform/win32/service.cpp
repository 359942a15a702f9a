// Service control with the system's net.exe: "net stop "<name>"" and
// "net start "<name>"", started directly with CreateProcessA (no cmd.exe, so
// nothing in the name is read as a command) and waited for with a limit.
#include "platform/service.hpp"

#include "common/text.hpp"
#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"
#include "platform/win32/wait_slices.hpp"

#include <algorithm>

#include <cstring>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {
namespace {

// Waits for the process at most timeoutMilliseconds, in slices with the wait
// hook between them: WAIT_OBJECT_0
// when it ended, WAIT_TIMEOUT when the time ran out, WAIT_ABANDONED on a stop
// request. A command left on a stop request goes on by itself: a service
// half stopped or started is worse than one left to finish.
DWORD waitForExit(HANDLE process, int timeoutMilliseconds) {
    const ULONGLONG deadline =
        GetTickCount64() +
        static_cast<ULONGLONG>(timeoutMilliseconds > 0 ? timeoutMilliseconds : 0);
    for (;;) {
        ULONGLONG now = GetTickCount64();
        DWORD slice = static_cast<DWORD>(
            std::min<ULONGLONG>(now < deadline ? deadline - now : 0, win32::WaitSliceMilliseconds));
        if (WaitForSingleObject(process, slice) == WAIT_OBJECT_0) {
            return WAIT_OBJECT_0;
        }
        serviceWaitHook();
        if (stopRequested()) {
            return WAIT_ABANDONED;
        }
        if (now >= deadline) {
            return WAIT_TIMEOUT;
        }
    }
}

} // namespace

int runServiceCommand(ServiceAction action, const char* serviceName, int timeoutMilliseconds) {
    if (serviceName == nullptr || std::strchr(serviceName, '"') != nullptr) {
        return -1; // a double quote cannot be carried inside the quoted argument
    }
    // The full path, so the program is never looked for anywhere else.
    char systemFolder[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
    if (length == 0 || length >= sizeof systemFolder) {
        return -1;
    }
    char application[MAX_PATH + 16];
    formatText(application, sizeof application, "%s\\net.exe", systemFolder);
    // Backslashes right before the closing quote are doubled, so that the
    // quote ends the argument instead of being escaped by them.
    std::size_t trailing = 0;
    for (std::size_t end = std::strlen(serviceName); end > 0 && serviceName[end - 1] == '\\';
         --end) {
        ++trailing;
    }
    // Room for a name of 256 characters even with every one doubled: never cut.
    char commandLine[600];
    formatText(commandLine, sizeof commandLine, "net %s \"%s%.*s\"",
               action == ServiceAction::Stop ? "stop" : "start", serviceName,
               static_cast<int>(trailing), serviceName + std::strlen(serviceName) - trailing);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(application, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    int result = -1;
    DWORD waited = waitForExit(process.hProcess, timeoutMilliseconds);
    if (waited == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        if (GetExitCodeProcess(process.hProcess, &exitCode)) {
            result = static_cast<int>(exitCode);
        }
    } else if (waited == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

} // namespace platform
