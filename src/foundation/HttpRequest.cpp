#include "foundation/HttpRequest.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "platform/Http.h"

namespace {

std::atomic<long> g_connectTimeoutMs{20000};
std::atomic<long> g_totalTimeoutMs{60000};

// The proxy the user set in the settings, or empty for the system's own.
std::string StoredProxy() {
    double enabled = 0.0;
    if (!RegistryGetDouble("", "ProxyEnable", &enabled) || enabled == 0.0) return {};
    char address[260] = "";
    RegistryGetString("", "ProxyAddress", address, sizeof address);
    return address;
}

// Traces the error code, the server and the page of a failed request.
bool Failed(const char* server, const char* page, int code) {
    errno = code;
    TraceLastError();
    TraceWrite(server);
    TraceWrite(page);
    return false;
}

}  // namespace

void SetHttpRequestTimeouts(long connectMs, long totalMs) {
    g_connectTimeoutMs = connectMs;
    g_totalTimeoutMs = totalMs;
}

bool DoHttpRequest(const char* server, const char* page, char* reply, size_t replySize,
                   const char* body, size_t bodyLength) {
    bool ready = PRECONDITION(server && *server, "serverDomain is NULL");
    ready = PRECONDITION(page && *page, "pageName is NULL") && ready;
    ready = PRECONDITION(reply && replySize > 0, "returnBuffer is NULL") && ready;
    ready = PRECONDITION(body || bodyLength == 0, "body is NULL") && ready;
    if (!ready) return false;
    reply[0] = '\0';

    platform::HttpRequest request;
    if (!NormalizeServerAddress(server, &request.host)) return Failed(server, page, EINVAL);
    request.path = page;
    request.post = bodyLength != 0;
    if (request.post) request.body.assign(body, bodyLength);
    request.contentType = "application/x-www-form-urlencoded";
    request.agent = "Kivora Control";
    request.noCache = true;
    request.proxy = StoredProxy();
    request.connectTimeoutMs = g_connectTimeoutMs;
    request.totalTimeoutMs = g_totalTimeoutMs;
    request.maxBodyBytes = replySize - 1;

    const platform::HttpResponse response = platform::SendHttpRequest(request);
    if (!response.replied) {
        POSTCONDITION(false, "HttpSendRequest failed");
        TraceWrite(response.error.c_str());
        return Failed(server, page, response.errorCode);
    }
    const size_t length = std::min(response.body.size(), replySize - 1);
    std::memcpy(reply, response.body.data(), length);
    reply[length] = '\0';
    if (response.truncated) {
        const std::string line = "Reply cut at " + std::to_string(replySize - 1) + " bytes";
        TraceWrite(line.c_str());
    }
    if (response.status < 200 || response.status > 299) {
        const std::string line = "HTTP status " + std::to_string(response.status);
        TraceWrite(line.c_str());
        return Failed(server, page, EIO);
    }
    return true;
}
