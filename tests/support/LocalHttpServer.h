#pragma once

#include <httplib.h>

#include <string>
#include <thread>

// An HTTP server on 127.0.0.1 for one test, on a port the system picks. Add handlers
// through `Server()`, then `Start()`; the destructor stops it and joins its thread.
class LocalHttpServer {
public:
    LocalHttpServer() = default;
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    httplib::Server& Server() { return server_; }
    // Binds a free port and serves on a thread of its own; false when it cannot bind.
    bool Start();
    void Stop();
    int Port() const { return port_; }
    // "127.0.0.1:<port>", the form a server address takes.
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

// A port on 127.0.0.1 that refuses connections: bound, never listening, for as long as the
// object lives (so no other test takes it meanwhile).
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

protected:
    explicit RefusingPort(bool listen);
    int fd_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 that takes connections into its backlog and never answers them.
class SilentPort : public RefusingPort {
public:
    SilentPort() : RefusingPort(true) {}
};
