#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/Window.h"

namespace platform {

// One running copy of a program per user, and the hand-over of a later copy's request
// to the first one.
//
// The first copy holds a lock file in the runtime folder for as long as it runs. Once
// it can take requests (its main window exists) it listens on a local socket beside the
// lock; a later copy connects, sends one bounded record and learns whether the first
// copy took it. The first copy's window receives each record as WM_COPYDATA (lParam: a
// const CopyData*), on the window's own thread, from a peer of the same user only.

// The folder of the program's lock files and sockets, with a trailing '/':
// $KIVORA_RUNTIME_DIR when set, else $XDG_RUNTIME_DIR, else the temporary folder.
std::string RuntimeFolder();

// The record of a WM_COPYDATA message: valid for the time of the call only.
struct CopyData {
    uintptr_t data = 0;  // the kind of record, as the sender chose it
    uint32_t size = 0;   // bytes at `bytes`
    const void* bytes = nullptr;
};

// Longest record a later copy may hand over.
inline constexpr uint32_t kMaxHandOverBytes = 4096;

class SingleInstance {
public:
    // Takes the lock named `name` (a file name: no '/') when no other process of this
    // user holds it.
    explicit SingleInstance(const std::string& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the first running copy (it holds the lock).
    bool IsFirst() const { return lockFd_ >= 0; }

    // From now on, later copies' records go to `window` (first copy only). False when
    // the socket cannot be made or the path is too long for one.
    bool ServeHandOvers(WindowHandle window);
    // Stops taking records; a record being delivered is given up. Callable from any
    // thread but the serving one; the destructor stops too.
    void StopServing();
    bool IsServing() const { return thread_.joinable(); }

private:
    void Serve();
    bool Deliver(int connection);

    std::string lockPath_;
    std::string socketPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    WindowHandle window_ = kNoWindow;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A later copy: hands the record over to the first copy of `name` and waits (a few
// seconds at most) for it to be taken. False when no copy serves hand-overs (none runs,
// or it cannot take requests yet), when the record is empty or longer than
// kMaxHandOverBytes, or when the first copy did not take it.
bool HandOverToFirstCopy(const std::string& name, uint32_t data, const void* bytes, uint32_t size);

}  // namespace platform
