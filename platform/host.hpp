// Facts about the host: processor and memory.
#pragma once

#include <cstdint>

struct CpuidResult {
    char vendor[12];
    std::uint32_t terminator; // always zero: ends the vendor text
    std::uint32_t signature;  // EAX of leaf 1, 0 without leaf 1
    std::uint32_t features;   // EDX of leaf 1, 0 without leaf 1
};

// 1 when the processor executes CPUID, else 0.
int cpuidAvailable();

// Fills the record from leaf 0 (and leaf 1 when the highest leaf is above 0);
// returns the highest standard leaf, or 0 without touching the record when
// CPUID is not available.
std::uint32_t queryCpuid(CpuidResult* result);

namespace platform {

// Processor name (at most nameSize-1 characters; left unchanged when unknown)
// and clock in MHz (left unchanged when unknown).
void readProcessorInfo(char* name, int nameSize, std::uint32_t* megahertz);

// Total physical memory in bytes.
std::uint64_t physicalMemory();

} // namespace platform
