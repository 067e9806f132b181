#include "platform/Http.h"

#include <curl/curl.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

std::once_flag g_curlInit;

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// A host name or IPv4 address, or a bracketed IPv6 address, then an optional ":port".
bool IsPlainHost(const std::string& host) {
    size_t i = 0;
    if (!host.empty() && host[0] == '[') {
        const size_t close = host.find(']');
        if (close == std::string::npos || close == 1) return false;
        for (size_t k = 1; k < close; ++k)
            if (!std::isxdigit(static_cast<unsigned char>(host[k])) && host[k] != ':' &&
                host[k] != '.')
                return false;
        i = close + 1;
    } else {
        while (i < host.size() && IsHostCharacter(host[i])) ++i;
        if (i == 0) return false;
    }
    if (i == host.size()) return true;
    if (host[i] != ':' || i + 1 == host.size() || host.size() - i - 1 > 5) return false;
    for (++i; i < host.size(); ++i)
        if (host[i] < '0' || host[i] > '9') return false;
    return true;
}

std::string EncodePath(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    if (path.empty() || path[0] != '/') out += '/';
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct BodySink {
    std::string* body;
    size_t limit;
    const HttpRequest* request;
    size_t received = 0;
    bool truncated = false;
    bool aborted = false;
};

bool Deliver(BodySink* sink, const char* data, size_t n) {
    sink->received += n;
    if (!sink->request->onBody) {
        sink->body->append(data, n);
        return true;
    }
    if (n == 0 || sink->request->onBody(data, n)) return true;
    sink->aborted = true;
    return false;
}

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t n = size * count;
    const size_t room = sink->limit - sink->received;
    if (n <= room) return Deliver(sink, data, n) ? n : 0;
    if (Deliver(sink, data, room)) sink->truncated = true;
    return 0;  // stops the transfer: the rest is not wanted
}

int ReportProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* sink = static_cast<BodySink*>(user);
    const auto received = static_cast<uint64_t>(now > 0 ? now : 0);
    const auto expected = static_cast<uint64_t>(total > 0 ? total : 0);
    if (sink->request->onProgress(received, expected)) return 0;
    sink->aborted = true;
    return 1;  // stops the transfer
}

int ErrnoFor(CURLcode code, long osErrno) {
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            return ETIMEDOUT;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return EHOSTUNREACH;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return EINVAL;
        case CURLE_COULDNT_CONNECT:
            return osErrno ? static_cast<int>(osErrno) : ECONNREFUSED;
        default:
            return osErrno ? static_cast<int>(osErrno) : EIO;
    }
}

}  // namespace

HttpResponse SendHttpRequest(const HttpRequest& request) {
    HttpResponse response;
    if (!IsPlainHost(request.host)) {
        response.error = "not a host name: \"" + request.host + "\"";
        response.errorCode = EINVAL;
        return response;
    }
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (!curl) {
        response.error = "cannot start an HTTP session";
        response.errorCode = ENOMEM;
        return response;
    }

    const std::string url = "http://" + request.host + EncodePath(request.path);
    char errorText[CURL_ERROR_SIZE] = "";
    BodySink sink{&response.body, request.maxBodyBytes, &request};
    curl_slist* headers = nullptr;
    if (!request.contentType.empty())
        headers = curl_slist_append(headers, ("Content-Type: " + request.contentType).c_str());
    if (request.noCache) {
        headers = curl_slist_append(headers, "Pragma: no-cache");
        headers = curl_slist_append(headers, "Cache-Control: no-cache");
    }
    headers = curl_slist_append(headers, "Expect:");

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (request.onProgress) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, ReportProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    if (!request.agent.empty()) curl_easy_setopt(curl, CURLOPT_USERAGENT, request.agent.c_str());
    if (!request.proxy.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy.c_str());
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    }
    if (request.post) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (sink.aborted) {
        response.aborted = true;
        response.error = "stopped by the caller";
        response.errorCode = ECANCELED;
        response.body.clear();
    } else if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.truncated)) {
        response.replied = true;
        response.status = static_cast<int>(status);
        response.truncated = sink.truncated;
    } else {
        long osErrno = 0;
        curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
        response.error = errorText[0] ? errorText : curl_easy_strerror(code);
        response.errorCode = ErrnoFor(code, osErrno);
        response.body.clear();
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return response;
}

}  // namespace platform
