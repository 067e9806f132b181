#include "foundation/Trace.h"

#include <mutex>
#include <string>

#include "platform/Clock.h"

namespace {

std::mutex g_traceWriteMutex;
FILE* g_traceWriteFile = nullptr;

}  // namespace

void SetTraceWriteFile(FILE* file) {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    g_traceWriteFile = file;
}

void TraceWrite(const char* text) {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    if (!g_traceWriteFile) return;
    const platform::LocalTime t = platform::GetLocalTime();
    std::fprintf(g_traceWriteFile, "%02d/%02d/%02d %02d:%02d:%02d %s\n", t.month, t.day,
                 t.year % 100, t.hour, t.minute, t.second, text ? text : "");
    std::fflush(g_traceWriteFile);
}

bool TraceAssert(bool condition, const char* kind, const char* file, int line,
                 const char* message) {
    if (condition) return true;
    std::string head = std::string(kind ? kind : "") + " Failed";
    if (head.size() > 2047) head.resize(2047);
    TraceWrite(head.c_str());
    TraceWrite(file ? file : "");
    TraceWrite((std::to_string(line) + "  ---  failure line").c_str());
    TraceWrite(message ? message : "");
    return false;
}
