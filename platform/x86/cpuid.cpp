// The CPUID query, shared by every x86 backend; each backend decides in
// cpuidAvailable whether the instruction exists.
#include "platform/host.hpp"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

std::uint32_t queryCpuid(CpuidResult* result) {
    if (cpuidAvailable() == 0) {
        return 0;
    }
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    std::memcpy(result->vendor, &ebx, 4);
    std::memcpy(result->vendor + 4, &edx, 4);
    std::memcpy(result->vendor + 8, &ecx, 4);
    result->terminator = 0;
    result->signature = 0;
    result->features = 0;
    std::uint32_t highest = eax;
    if (highest > 0) {
        __cpuid(1, eax, ebx, ecx, edx);
        result->signature = eax;
        result->features = edx;
    }
    return highest;
}
#else
std::uint32_t queryCpuid(CpuidResult*) {
    return 0;
}
#endif
