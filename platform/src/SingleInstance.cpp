#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Files.h"

namespace platform {

namespace {

constexpr uint32_t kRecordMagic = 0x4F48564B;  // "KVHO"
constexpr int kReadTimeoutMs = 2000;
constexpr int kAnswerTimeoutMs = 5000;
constexpr int64_t kDeliveryStepMs = 250;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : "";
}

bool FillSocketAddress(const std::string& path, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size());
    return true;
}

void SetTimeouts(int fd, int milliseconds) {
    timeval tv{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// Reads exactly `size` bytes; false on an error, a time-out or an early end.
bool ReadAll(int fd, void* buffer, size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* buffer, size_t size) {
    const auto* p = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string SocketPathOf(const std::string& name) {
    return RuntimeFolder() + name + ".sock";
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

}  // namespace

std::string RuntimeFolder() {
    std::string folder = Variable("KIVORA_RUNTIME_DIR");
    if (folder.empty()) folder = Variable("XDG_RUNTIME_DIR");
    if (folder.empty()) folder = TemporaryFolder();
    if (folder.back() != '/') folder += '/';
    return folder;
}

SingleInstance::SingleInstance(const std::string& name) {
    if (!IsPlainName(name)) return;
    const std::string folder = RuntimeFolder();
    MakeFolders(folder);
    lockPath_ = folder + name + ".lock";
    socketPath_ = folder + name + ".sock";
    const int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    lockFd_ = fd;
}

SingleInstance::~SingleInstance() {
    StopServing();
    if (lockFd_ >= 0) close(lockFd_);
}

bool SingleInstance::ServeHandOvers(WindowHandle window) {
    if (!IsFirst() || thread_.joinable() || !IsWindow(window)) return false;
    sockaddr_un address;
    if (!FillSocketAddress(socketPath_, &address)) return false;
    // We hold the lock: a socket file left there belongs to a copy that ended.
    unlink(socketPath_.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(socketPath_.c_str(), 0600) != 0 || listen(fd, 4) != 0 ||
        pipe2(wakeFds_, O_CLOEXEC) != 0) {
        close(fd);
        unlink(socketPath_.c_str());
        return false;
    }
    listenFd_ = fd;
    window_ = window;
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void SingleInstance::StopServing() {
    if (!thread_.joinable()) return;
    stop_ = true;
    const char wake = 1;
    if (write(wakeFds_[1], &wake, 1) < 0) {
        // The serving thread also sees the flag at its next step.
    }
    thread_.join();
    close(listenFd_);
    close(wakeFds_[0]);
    close(wakeFds_[1]);
    listenFd_ = wakeFds_[0] = wakeFds_[1] = -1;
    unlink(socketPath_.c_str());
}

void SingleInstance::Serve() {
    while (!stop_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (stop_ || (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int connection = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        SetTimeouts(connection, kReadTimeoutMs);
        const char taken = Deliver(connection) ? 1 : 0;
        WriteAll(connection, &taken, 1);
        close(connection);
    }
}

bool SingleInstance::Deliver(int connection) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
        peer.uid != getuid())
        return false;
    uint32_t header[3] = {};
    if (!ReadAll(connection, header, sizeof header) || header[0] != kRecordMagic) return false;
    const uint32_t size = header[2];
    if (size == 0 || size > kMaxHandOverBytes) return false;
    std::vector<char> bytes(size);
    if (!ReadAll(connection, bytes.data(), size)) return false;

    CopyData record;
    record.data = header[1];
    record.size = size;
    record.bytes = bytes.data();
    // A send that times out is taken back before the window sees it, so the record is
    // never read after this frame ends.
    while (!stop_ && IsWindow(window_)) {
        if (SendMessageTimeout(window_, WM_COPYDATA, 0, reinterpret_cast<LParam>(&record),
                               kDeliveryStepMs))
            return true;
    }
    return false;
}

bool HandOverToFirstCopy(const std::string& name, uint32_t data, const void* bytes, uint32_t size) {
    if (!IsPlainName(name) || !bytes || size == 0 || size > kMaxHandOverBytes) return false;
    sockaddr_un address;
    if (!FillSocketAddress(SocketPathOf(name), &address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool taken = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        SetTimeouts(fd, kAnswerTimeoutMs);
        const uint32_t header[3] = {kRecordMagic, data, size};
        char answer = 0;
        taken = WriteAll(fd, header, sizeof header) && WriteAll(fd, bytes, size) &&
                ReadAll(fd, &answer, 1) && answer == 1;
    }
    close(fd);
    return taken;
}

}  // namespace platform
