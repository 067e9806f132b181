#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

LocalHttpServer::~LocalHttpServer() {
    Stop();
}

bool LocalHttpServer::Start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return false;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_.is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server_.is_running();
}

void LocalHttpServer::Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
}

RefusingPort::RefusingPort() : RefusingPort(false) {}

RefusingPort::RefusingPort(bool listen) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listen && ::listen(fd_, 8) != 0))
        return;
    port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
    if (fd_ >= 0) ::close(fd_);
}
