#include "platform/host.hpp"

#include "common/text.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define VIGILON_HAS_CPUID 1
#else
#define VIGILON_HAS_CPUID 0
#endif

int cpuidAvailable() {
    return VIGILON_HAS_CPUID && __get_cpuid_max(0, nullptr) != 0 ? 1 : 0;
}

namespace platform {
namespace {

// The value of the first "key : value" line of /proc/cpuinfo, bounded.
bool cpuinfoValue(const char* key, char* value, std::size_t capacity) {
    std::FILE* file = std::fopen("/proc/cpuinfo", "r");
    if (file == nullptr) {
        return false;
    }
    char line[512];
    bool found = false;
    std::size_t keyLength = std::strlen(key);
    while (!found && std::fgets(line, sizeof line, file) != nullptr) {
        const char* colon = std::strchr(line, ':');
        if (std::strncmp(line, key, keyLength) != 0 || colon == nullptr) {
            continue;
        }
        const char* start = colon + 1;
        while (*start == ' ') {
            ++start;
        }
        copyText(value, capacity, start);
        value[std::strcspn(value, "\r\n")] = '\0';
        found = true;
    }
    std::fclose(file);
    return found;
}

} // namespace

void readProcessorInfo(char* name, int nameSize, std::uint32_t* megahertz) {
    char text[256];
    if (cpuinfoValue("model name", text, sizeof text)) {
        copyText(name, static_cast<std::size_t>(nameSize), text);
    }
    if (cpuinfoValue("cpu MHz", text, sizeof text)) {
        double value = std::strtod(text, nullptr);
        if (value > 0.0 && value < 4294967295.0) {
            *megahertz = static_cast<std::uint32_t>(value);
        }
    }
}

std::uint64_t physicalMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace platform
