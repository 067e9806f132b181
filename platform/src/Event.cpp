#include "platform/Event.h"

#include "Display.h"

#include <atomic>
#include <chrono>

namespace platform {

Event::Event(Kind kind, bool signalled, std::string name)
    : kind_(kind), name_(std::move(name)), signalled_(signalled) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        signalled_ = true;
    }
    if (kind_ == Kind::AutoReset)
        changed_.notify_one();
    else
        changed_.notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = false;
}

bool Event::Wait(int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (timeoutMs < 0)
        changed_.wait(lock, ready);
    else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return false;
    if (kind_ == Kind::AutoReset) signalled_ = false;
    return true;
}

namespace {

std::atomic<int> monitorCount{0};

}  // namespace

int GetMonitorCount() {
    const int count = monitorCount.load();
    if (count > 0) return count;
    int shown = 0;
    return display::MonitorCount(&shown) && shown > 0 ? shown : 1;
}

void SetMonitorCountForTesting(int count) {
    monitorCount = count > 0 ? count : 0;
}

}  // namespace platform
