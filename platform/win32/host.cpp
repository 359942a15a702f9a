// Host facts on Windows: CPUID (with the EFLAGS ID-bit test on 32-bit x86),
// the processor's name and clock from the registry, and the physical memory.
#include "platform/host.hpp"

#include "common/text.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <vector>

#if defined(__i386__)
int cpuidAvailable() {
    constexpr std::uint32_t IdFlag = 1u << 21; // EFLAGS.ID: settable only where CPUID exists
    std::uint32_t before = 0;
    std::uint32_t after = 0;
    __asm__ volatile("pushfl\n\t" // keep the flags to restore them
                     "pushfl\n\t"
                     "popl %0\n\t" // the flags as found
                     "movl %0, %1\n\t"
                     "xorl %2, %1\n\t" // the ID bit inverted
                     "pushl %1\n\t"
                     "popfl\n\t"
                     "pushfl\n\t"
                     "popl %1\n\t" // the flags read back
                     "popfl\n\t"   // restore the flags as found
                     : "=&r"(before), "=&r"(after)
                     : "i"(IdFlag)
                     : "cc");
    return ((before ^ after) & IdFlag) != 0 ? 1 : 0;
}
#else
// Every x86-64 processor executes CPUID.
int cpuidAvailable() {
    return 1;
}
#endif

namespace platform {

void readProcessorInfo(char* name, int nameSize, std::uint32_t* megahertz) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\SYSTEM\\CentralProcessor\\0", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value) {
        *megahertz = value;
    }
    // The name is read whole into a buffer of its own size, terminated (the
    // registry does not promise that), then cut to the caller's buffer.
    size = 0;
    if (name != nullptr && nameSize > 0 &&
        RegQueryValueExA(key, "ProcessorNameString", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<char> text(static_cast<std::size_t>(size) + 1, '\0');
        if (RegQueryValueExA(key, "ProcessorNameString", nullptr, &type,
                             reinterpret_cast<BYTE*>(text.data()), &size) == ERROR_SUCCESS &&
            size < text.size()) {
            text[size] = '\0';
            copyText(name, static_cast<std::size_t>(nameSize), text.data());
        }
    }
    RegCloseKey(key);
}

std::uint64_t physicalMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status) == 0) {
        return 0;
    }
    return status.ullTotalPhys;
}

} // namespace platform
