#include "platform/RecursiveLock.h"

namespace platform {

bool RecursiveLock::TryTake(std::thread::id self, int count) {
    std::thread::id none{};
    if (!owner_.compare_exchange_strong(none, self)) return false;
    count_ = count;
    return true;
}

void RecursiveLock::WaitAndTake(std::thread::id self, int count) {
    for (;;) {
        // The release count is read before the attempt and the waiter counted before it
        // too: a release after a failed attempt either sees the waiter and moves the
        // count on, so that the wait below returns at once, or came early enough for the
        // attempt to succeed.
        const uint32_t seen = releases_.load();
        waiters_.fetch_add(1);
        const bool taken = TryTake(self, count);
        if (!taken) releases_.wait(seen);
        waiters_.fetch_sub(1);
        if (taken) return;
    }
}

void RecursiveLock::Release() {
    if (hasHook_.load()) {
        // The hook runs while this thread still owns the lock.
        if (const Hook hook = hook_.load(); hook && *hook) (*hook)();
    }
    count_ = 0;
    owner_.store(std::thread::id{});
    if (waiters_.load() > 0) {
        releases_.fetch_add(1);
        releases_.notify_one();
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
    const bool set = static_cast<bool>(hook);
    hook_.store(set ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr);
    hasHook_.store(set);
}

}  // namespace platform
