#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"

namespace {

struct SeenRequest {
    std::string method, path, query, body, contentType, agent, pragma;
};

class HttpRequestNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        trace_ = std::tmpfile();
        SetTraceWriteFile(trace_);
        auto record = [this](const httplib::Request& req, httplib::Response& res) {
            ++hits_;
            seen_ = {req.method,
                     req.path,
                     req.has_param("x") ? req.get_param_value("x") : "",
                     req.body,
                     req.get_header_value("Content-Type"),
                     req.get_header_value("User-Agent"),
                     req.get_header_value("Pragma")};
            res.set_content("hello", "text/plain");
        };
        server_.Server().Get("/page", record);
        server_.Server().Post("/page", record);
        server_.Server().Get("/sized", [](const httplib::Request& req, httplib::Response& res) {
            const size_t n = std::stoul(req.get_param_value("n"));
            std::string body(n, 'r');
            body.back() = 'Z';
            res.set_content(body, "text/plain");
        });
        server_.Server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/html");
        });
        server_.Server().Get("/broken", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("oops", "text/html");
        });
        // Requests that come through the server as a proxy name the whole address.
        server_.Server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            ++hits_;
            seen_.path = req.path;
            res.set_content("proxied", "text/plain");
        });
        ASSERT_TRUE(server_.Start());
    }
    void TearDown() override {
        SetTraceWriteFile(nullptr);
        std::fclose(trace_);
        SetHttpRequestTimeouts(20000, 60000);
    }

    std::string Trace() {
        std::fflush(trace_);
        std::rewind(trace_);
        std::string text;
        char chunk[512];
        while (size_t n = std::fread(chunk, 1, sizeof chunk, trace_)) text.append(chunk, n);
        return text;
    }

    ScopedRegistry registry_;  // the proxy settings are read from it
    LocalHttpServer server_;
    std::atomic<int> hits_{0};
    SeenRequest seen_;
    FILE* trace_ = nullptr;
    char reply_[10001];
};

TEST_F(HttpRequestNetTest, GetAndPostReachTheServerAsSent) {
    const std::string address = server_.Address();
    const struct {
        std::string server;
        const char* page;
        const char* body;
        const char* method;
    } cases[] = {
        {"http://" + address + "/", "/page?x=1", nullptr, "GET"},
        {"HTTP://" + address + "\\", "page?x=1", nullptr, "GET"},
        {address, "/page?x=1", "name=a%20b&pw=%3A%3B", "POST"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server + " " + c.method);
        const size_t bodyLength = c.body ? std::strlen(c.body) : 0;
        ASSERT_TRUE(
            DoHttpRequest(c.server.c_str(), c.page, reply_, sizeof reply_, c.body, bodyLength));
        EXPECT_STREQ(reply_, "hello");
        EXPECT_EQ(seen_.method, c.method);
        EXPECT_EQ(seen_.path, "/page");
        EXPECT_EQ(seen_.query, "1");
        EXPECT_EQ(seen_.body, c.body ? c.body : "");
        EXPECT_EQ(seen_.contentType, "application/x-www-form-urlencoded");
        EXPECT_EQ(seen_.agent, "Kivora Control");
        EXPECT_EQ(seen_.pragma, "no-cache");
    }
}

TEST_F(HttpRequestNetTest, ReplyIsReadWholeAndCutToTheBuffer) {
    const struct {
        size_t bodySize;
        size_t bufferSize;
        size_t kept;
        bool cut;
    } cases[] = {{60000, 10000, 9999, true},  // many reads, more than fits
                 {9999, 10000, 9999, false},  // fills the buffer with its terminator
                 {10000, 10000, 9999, true},
                 {5, 1, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bodySize);
        std::memset(reply_, '#', sizeof reply_);
        const std::string page = "/sized?n=" + std::to_string(c.bodySize);
        ASSERT_TRUE(DoHttpRequest(server_.Address().c_str(), page.c_str(), reply_, c.bufferSize,
                                  nullptr, 0));
        EXPECT_EQ(std::strlen(reply_), c.kept);
        if (c.kept > 0) {
            EXPECT_EQ(reply_[c.kept - 1], c.cut ? 'r' : 'Z');
        }
        EXPECT_EQ(reply_[c.bufferSize], '#');  // nothing written past the buffer
        EXPECT_EQ(Trace().find("Reply cut at") != std::string::npos, c.cut);
        SetTraceWriteFile(nullptr);
        std::fclose(trace_);
        trace_ = std::tmpfile();
        SetTraceWriteFile(trace_);
    }
}

TEST_F(HttpRequestNetTest, ErrorStatusIsAFailure) {
    EXPECT_FALSE(
        DoHttpRequest(server_.Address().c_str(), "/missing", reply_, sizeof reply_, nullptr, 0));
    EXPECT_STREQ(reply_, "not here");
    EXPECT_FALSE(
        DoHttpRequest(server_.Address().c_str(), "/broken", reply_, sizeof reply_, nullptr, 0));
    const std::string trace = Trace();
    EXPECT_NE(trace.find("HTTP status 404"), std::string::npos) << trace;
    EXPECT_NE(trace.find("HTTP status 500"), std::string::npos) << trace;
    EXPECT_NE(trace.find("/missing"), std::string::npos) << trace;
}

TEST_F(HttpRequestNetTest, NoServerReplyIsAFailureWithinTheTimeOut) {
    SetHttpRequestTimeouts(2000, 700);
    RefusingPort refusing;
    SilentPort silent;
    ASSERT_GT(refusing.Port(), 0);
    ASSERT_GT(silent.Port(), 0);
    for (const std::string& address : {refusing.Address(), silent.Address()}) {
        SCOPED_TRACE(address);
        std::strcpy(reply_, "stale");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(DoHttpRequest(address.c_str(), "/page", reply_, sizeof reply_, nullptr, 0));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_STREQ(reply_, "");
    }
    const std::string trace = Trace();
    EXPECT_NE(trace.find("Last error : 6F"), std::string::npos) << trace;  // ECONNREFUSED
    EXPECT_NE(trace.find("Last error : 6E"), std::string::npos) << trace;  // ETIMEDOUT
}

TEST_F(HttpRequestNetTest, StoredProxyIsUsedOnlyWhenEnabled) {
    RefusingPort origin;  // reached directly, the request fails
    ASSERT_TRUE(RegistrySetString("", "ProxyAddress", server_.Address().c_str()));
    const std::string server = "http://" + origin.Address() + "/";
    for (double enabled : {0.0, 1.0}) {
        ASSERT_TRUE(RegistrySetDouble("", "ProxyEnable", enabled));
        EXPECT_EQ(DoHttpRequest(server.c_str(), "/via?x=2", reply_, sizeof reply_, nullptr, 0),
                  enabled != 0.0);
    }
    EXPECT_STREQ(reply_, "proxied") << Trace();
    EXPECT_EQ(seen_.path, "http://" + origin.Address() + "/via");
}

TEST_F(HttpRequestNetTest, BadArgumentsSendNothing) {
    const std::string address = server_.Address();
    const std::string withPath = address + "/sub";
    const std::string withUser = "user@" + address;
    const std::string notLeading = "www.http://" + address;
    const struct {
        const char* server;
        const char* page;
        char* reply;
        const char* body;
        size_t bodyLength;
    } cases[] = {{nullptr, "/page", reply_, nullptr, 0},
                 {"", "/page", reply_, nullptr, 0},
                 {address.c_str(), nullptr, reply_, nullptr, 0},
                 {address.c_str(), "", reply_, nullptr, 0},
                 {address.c_str(), "/page", nullptr, nullptr, 0},
                 {address.c_str(), "/page", reply_, nullptr, 4},
                 {withPath.c_str(), "/page", reply_, nullptr, 0},
                 {withUser.c_str(), "/page", reply_, nullptr, 0},
                 {notLeading.c_str(), "/page", reply_, nullptr, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server ? c.server : "(null)");
        EXPECT_FALSE(DoHttpRequest(c.server, c.page, c.reply, sizeof reply_, c.body, c.bodyLength));
    }
    EXPECT_EQ(hits_, 0);
    const std::string trace = Trace();
    for (const char* message : {"serverDomain is NULL", "pageName is NULL", "returnBuffer is NULL"})
        EXPECT_NE(trace.find(message), std::string::npos) << message;
}

}  // namespace
