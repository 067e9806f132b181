#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Figures of the machine: processor kind and speed, memory, and the display's colour
// depth.

// Processor type codes, as the other deliverables and the server know them.
inline constexpr int kProcessorIntel386 = 386;
inline constexpr int kProcessorIntel486 = 486;
inline constexpr int kProcessorIntelPentium = 586;
inline constexpr int kProcessorIntelIA64 = 2200;
inline constexpr int kProcessorAmdX8664 = 8664;

// The code of the machine's processor kind; 0 when the kind has none.
int ProcessorType();
// The code for a machine name as the kernel reports it ("x86_64", "i686", ...).
int ProcessorTypeForMachine(const std::string& machine);

// Total physical memory in KB; 0 when unknown.
int64_t PhysicalMemoryKB();

// The first processor's clock in MHz, read afresh from the kernel's processor table;
// 0 when the table gives none.
int32_t ProcessorMHz();
// The "cpu MHz" figure of the first processor in such a table, rounded; 0 when the
// first processor has none or it is not a positive number below 1,000,000.
int32_t ProcessorMHzFromCpuInfo(const std::string& cpuInfo);

// Colour bits per pixel of the display's current mode; false when there is no display
// to ask. The headless display is a 24-bit one.
bool DisplayColorBits(int* bits);

}  // namespace platform
