#pragma once

#include <cstddef>

// Sends one request to the content server and waits for the reply. `server` is a host name
// with an optional "http://" before and ":port" after it (port 80 otherwise); `page` the
// path and query after the host. With a non-zero `bodyLength` the request is a POST of
// `body` (which the caller encodes), else a GET; both carry the form content type. The
// proxy stored in the settings ("ProxyEnable", "ProxyAddress") is used when enabled, else
// the system's settings.
//
// The reply's body is read whole into `reply`, at most `replySize` - 1 bytes (a longer
// body is cut there, with a trace) and always terminated. True when a reply with a 2xx
// status came; an error status, a refused connection or a time-out answer false, with the
// server and page in the trace (`reply` then holds what the server sent, or is empty).
bool DoHttpRequest(const char* server, const char* page, char* reply, size_t replySize,
                   const char* body, size_t bodyLength);

// Time-outs of `DoHttpRequest` in milliseconds: to connect, and for the whole exchange.
// The defaults are 20 s and 60 s.
void SetHttpRequestTimeouts(long connectMs, long totalMs);
