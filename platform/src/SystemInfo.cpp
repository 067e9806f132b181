#include "platform/SystemInfo.h"

#include "Display.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

int ProcessorTypeForMachine(const std::string& machine) {
    if (machine == "x86_64" || machine == "amd64") return kProcessorAmdX8664;
    if (machine == "i586" || machine == "i686") return kProcessorIntelPentium;
    if (machine == "i486") return kProcessorIntel486;
    if (machine == "i386") return kProcessorIntel386;
    if (machine == "ia64") return kProcessorIntelIA64;
    return 0;
}

int ProcessorType() {
    utsname name{};
    if (uname(&name) != 0) return 0;
    return ProcessorTypeForMachine(name.machine);
}

int64_t PhysicalMemoryKB() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<int64_t>(pages) * (pageSize / 1024);
}

int32_t ProcessorMHzFromCpuInfo(const std::string& cpuInfo) {
    std::istringstream lines(cpuInfo);
    std::string line;
    bool seenProcessor = false;
    while (std::getline(lines, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trimmed(line.substr(0, colon));
        if (key == "processor") {
            // The table goes on with the second processor: the first had no figure.
            if (seenProcessor) return 0;
            seenProcessor = true;
        } else if (key == "cpu MHz") {
            const std::string value = Trimmed(line.substr(colon + 1));
            char* end = nullptr;
            const double mhz = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(mhz > 0.0) || mhz >= 1e6) return 0;
            return static_cast<int32_t>(std::lround(mhz));
        }
    }
    return 0;
}

int32_t ProcessorMHz() {
    return ProcessorMHzFromCpuInfo(ReadFile("/proc/cpuinfo"));
}

bool DisplayColorBits(int* bits) {
    if (!bits) return false;
    if (display::ScreenColorBits(bits)) return true;
    *bits = 24;
    return true;
}

}  // namespace platform
