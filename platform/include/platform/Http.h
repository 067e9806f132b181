#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// One synchronous HTTP exchange.
struct HttpRequest {
    // Host name, optionally followed by ":port" (port 80 otherwise).
    std::string host;
    // Path and query after the host; a missing leading '/' is supplied, and spaces, control
    // characters and bytes above 127 are percent-encoded on the way out.
    std::string path;
    // POST with `body` when true, else GET.
    bool post = false;
    std::string body;
    std::string contentType;  // sent as Content-Type when not empty
    std::string agent;        // sent as User-Agent when not empty
    // Ask every cache on the way for a fresh reply (Pragma and Cache-Control: no-cache).
    bool noCache = false;
    // "host:port" of an explicit proxy that every request goes through; empty takes the
    // system's settings (the http_proxy and no_proxy environment variables).
    std::string proxy;
    long connectTimeoutMs = 20000;
    long totalTimeoutMs = 60000;
    // The body is read until it ends or reaches this many bytes; the rest is dropped.
    size_t maxBodyBytes = 1 << 20;
    // When set, the body is handed over here piece by piece as it arrives instead of being
    // kept in the reply's `body`; answering false stops the transfer.
    std::function<bool(const char* data, size_t size)> onBody;
    // Called again and again while the exchange runs (about once a second when nothing
    // moves) with the body bytes received so far and the announced total (0 when
    // unknown); answering false stops the transfer.
    std::function<bool(uint64_t received, uint64_t total)> onProgress;
};

struct HttpResponse {
    // A reply came (whatever its status). False: `error` says what went wrong and
    // `errorCode` holds an errno value (ECONNREFUSED, ETIMEDOUT, EHOSTUNREACH, EINVAL, EIO).
    bool replied = false;
    int status = 0;
    std::string body;
    bool truncated = false;  // the body went beyond maxBodyBytes
    // A callback of the request stopped the transfer (then `replied` is false and
    // `errorCode` is ECANCELED).
    bool aborted = false;
    std::string error;
    int errorCode = 0;
};

// Sends `request` over HTTP and waits for the whole reply, following redirects (to HTTP
// or HTTPS). A host text that is not a plain host name with an optional port is refused
// (EINVAL) without traffic. Safe to call from any thread.
HttpResponse SendHttpRequest(const HttpRequest& request);

}  // namespace platform
