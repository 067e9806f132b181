#include "platform/RecursiveLock.h"

namespace platform {

void RecursiveLock::Lock() {
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (count_ > 0 && owner_ == self) {
        ++count_;
        return;
    }
    released_.wait(guard, [this] { return count_ == 0; });
    owner_ = self;
    count_ = 1;
}

bool RecursiveLock::TryLock() {
    const auto self = std::this_thread::get_id();
    std::lock_guard<std::mutex> guard(mutex_);
    if (count_ > 0 && owner_ != self) return false;
    owner_ = self;
    ++count_;
    return true;
}

int RecursiveLock::Unlock() {
    const auto self = std::this_thread::get_id();
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (count_ == 0 || owner_ != self) return -1;
        if (count_ > 1) return --count_;
        hook = hook_;
    }
    // Last hold: the hook runs while this thread still owns the lock.
    if (hook) hook();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        count_ = 0;
        owner_ = std::thread::id{};
    }
    released_.notify_one();
    return 0;
}

int RecursiveLock::ReleaseFully() {
    const auto self = std::this_thread::get_id();
    std::function<void()> hook;
    int held;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (count_ == 0 || owner_ != self) return 0;
        held = count_;
        hook = hook_;
    }
    if (hook) hook();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        count_ = 0;
        owner_ = std::thread::id{};
    }
    released_.notify_one();
    return held;
}

void RecursiveLock::Reacquire(int count) {
    if (count <= 0) return;
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (count_ > 0 && owner_ == self) {
        count_ += count;
        return;
    }
    released_.wait(guard, [this] { return count_ == 0; });
    owner_ = self;
    count_ = count;
}

bool RecursiveLock::IsHeldByCurrentThread() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return count_ > 0 && owner_ == std::this_thread::get_id();
}

bool RecursiveLock::IsHeld() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return count_ > 0;
}

std::thread::id RecursiveLock::Owner() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return count_ > 0 ? owner_ : std::thread::id{};
}

int RecursiveLock::CountForCurrentThread() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return (count_ > 0 && owner_ == std::this_thread::get_id()) ? count_ : 0;
}

void RecursiveLock::SetFullReleaseHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(mutex_);
    hook_ = std::move(hook);
}

}  // namespace platform
