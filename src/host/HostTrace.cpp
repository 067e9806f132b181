#include "host/HostTrace.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "foundation/Common.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "host/HostResources.h"
#include "platform/Files.h"

namespace {

constexpr const char* kLogsKey = "logs\\";
constexpr size_t kReplySize = 1024;

std::mutex g_mutex;
FILE* g_file = nullptr;
std::string g_name;
bool g_hostFlag = false;
bool g_pending = false;

std::string InTemporaryFolder(const std::string& name) {
    return platform::TemporaryFolder() + name;
}

// The same name with its last three characters replaced by "err".
std::string SetAsideName(const std::string& name) {
    return name.size() < 3 ? name + "err" : name.substr(0, name.size() - 3) + "err";
}

void SetAsideTraceLog(const std::string& name) {
    const std::string aside = InTemporaryFolder(SetAsideName(name));
    platform::DeleteFile(aside.c_str());
    platform::RenameFile(InTemporaryFolder(name).c_str(), aside.c_str());
}

void CloseLocked() {
    if (!g_file) return;
    TraceWrite("Closing logfile");
    SetTraceWriteFile(nullptr);
    RegistrySetDouble(kLogsKey, g_name.c_str(), 0.0);
    std::fclose(g_file);
    g_file = nullptr;
}

}  // namespace

void SetHostTraceFlag(bool host) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_hostFlag = host;
}

bool OpenTraceLog(const char* name) {
    if (!name || !*name) return false;
    bool postNow = false;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        CloseLocked();
        g_name = name;
        double open = 0.0;
        RegistryGetDouble(kLogsKey, name, &open);
        if (open != 0.0) {
            if (g_hostFlag) {
                g_pending = true;
                SetAsideTraceLog(g_name);
            } else {
                postNow = true;
            }
        }
    }
    if (postNow) PostTraceLog(name);

    std::lock_guard<std::mutex> guard(g_mutex);
    g_file = std::fopen(InTemporaryFolder(g_name).c_str(), "w+");
    if (!g_file) return false;
    SetTraceWriteFile(g_file);
    RegistrySetDouble(kLogsKey, g_name.c_str(), 1.0);
    TraceWrite((std::string("CompID : StandAlone v.") + kHostVersion).c_str());
    return true;
}

void CloseTraceLog() {
    std::lock_guard<std::mutex> guard(g_mutex);
    CloseLocked();
}

bool IsTraceLogOpen() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_file != nullptr;
}

std::string TraceLogName() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_name;
}

bool PostTraceLog(const char* name) {
    if (!name || !*name) return false;
    RegistrySetDouble(kLogsKey, name, 0.0);
    const std::string body = TraceLogExcerpt(InTemporaryFolder(name).c_str());
    if (body.empty()) return false;
    const std::string page = std::string(kQueryEntrancePage) +
                             "?errPost=1&userID=" + EncodeQueryValue(GetUserID().c_str()) +
                             "&filename=" + EncodeQueryValue(name);
    auto reply = std::make_unique<char[]>(kReplySize);
    const std::string server = GetServerAddress();
    if (!DoHttpRequest(server.c_str(), page.c_str(), reply.get(), kReplySize, body.data(),
                       body.size())) {
        TraceWrite("Log post failed");
        return false;
    }
    return true;
}

void PostPendingTraceLog() {
    std::string aside;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (!g_pending) return;
        g_pending = false;
        aside = g_name.size() < 4 ? g_name : g_name.substr(0, g_name.size() - 4);
        aside += ".err";
    }
    PostTraceLog(aside.c_str());
}
