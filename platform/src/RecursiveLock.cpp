#include "platform/RecursiveLock.h"

namespace platform {

bool RecursiveLock::TryTake(std::thread::id self, int count) {
    std::thread::id none{};
    if (!owner_.compare_exchange_strong(none, self)) return false;
    count_ = count;
    return true;
}

void RecursiveLock::WaitAndTake(std::thread::id self, int count) {
    std::unique_lock<std::mutex> guard(mutex_);
    // Counted before the attempt, so that a release after a failed attempt sees the
    // waiter and wakes it; the mutex keeps the wake-up from coming before the wait.
    waiters_.fetch_add(1);
    while (!TryTake(self, count)) released_.wait(guard);
    waiters_.fetch_sub(1);
}

void RecursiveLock::Release() {
    if (hasHook_.load()) {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            hook = hook_;
        }
        // The hook runs while this thread still owns the lock.
        if (hook) hook();
    }
    count_ = 0;
    owner_.store(std::thread::id{});
    if (waiters_.load() > 0) {
        std::lock_guard<std::mutex> guard(mutex_);
        released_.notify_one();
    }
}

void RecursiveLock::Lock() {
    const auto self = std::this_thread::get_id();
    // Only this thread ever stores its own id, so seeing it means holding the lock.
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++count_;
        return;
    }
    if (!TryTake(self, 1)) WaitAndTake(self, 1);
}

bool RecursiveLock::TryLock() {
    const auto self = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++count_;
        return true;
    }
    return TryTake(self, 1);
}

int RecursiveLock::Unlock() {
    if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) return -1;
    if (count_ > 1) return --count_;
    Release();
    return 0;
}

int RecursiveLock::ReleaseFully() {
    if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) return 0;
    const int held = count_;
    Release();
    return held;
}

void RecursiveLock::Reacquire(int count) {
    if (count <= 0) return;
    const auto self = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
        count_ += count;
        return;
    }
    if (!TryTake(self, count)) WaitAndTake(self, count);
}

bool RecursiveLock::IsHeldByCurrentThread() const {
    return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

bool RecursiveLock::IsHeld() const {
    return owner_.load() != std::thread::id{};
}

std::thread::id RecursiveLock::Owner() const {
    return owner_.load();
}

int RecursiveLock::CountForCurrentThread() const {
    return IsHeldByCurrentThread() ? count_ : 0;
}

void RecursiveLock::SetFullReleaseHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(mutex_);
    hook_ = std::move(hook);
    hasHook_.store(static_cast<bool>(hook_));
}

}  // namespace platform
