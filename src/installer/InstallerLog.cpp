#include "installer/InstallerLog.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/Trace.h"

void InstallerLog(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    TraceWrite(line);
}
