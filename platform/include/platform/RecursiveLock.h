#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

// A re-entrant lock that knows which thread holds it and how many times. Taking a free
// lock and every nested hold cost one atomic step; a thread that has to wait sleeps on
// the lock's release count. Small, as every list has one.
//
// The render lock builds on it: `ReleaseFully` gives up every hold of the calling
// thread at once (before a modal box or a wait) and `Reacquire` takes the same
// number back. A hook set with `SetFullReleaseHook` runs on the releasing thread,
// still inside the lock, whenever its hold count drops to zero.
class RecursiveLock {
public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Lock();
    bool TryLock();
    // Releases one hold. Answers the holds left to the caller; a thread that holds
    // nothing releases nothing and gets -1.
    int Unlock();

    // Releases every hold of the calling thread; answers how many there were
    // (0 when the calling thread held none).
    int ReleaseFully();
    // Takes `count` holds back (count <= 0 does nothing).
    void Reacquire(int count);

    bool IsHeldByCurrentThread() const;
    bool IsHeld() const;
    std::thread::id Owner() const;
    // Holds of the calling thread (0 when another thread or none holds the lock).
    int CountForCurrentThread() const;

    void SetFullReleaseHook(std::function<void()> hook);

    // std::lock_guard / std::unique_lock compatibility.
    void lock() { Lock(); }
    bool try_lock() { return TryLock(); }
    void unlock() { Unlock(); }

private:
    using Hook = std::shared_ptr<const std::function<void()>>;

    // Takes a free lock for the calling thread with `count` holds; false when held.
    bool TryTake(std::thread::id self, int count);
    // Waits until the lock is free and takes it with `count` holds.
    void WaitAndTake(std::thread::id self, int count);
    // Gives up the owner's last hold: runs the hook, frees the lock, wakes a waiter.
    void Release();

    std::atomic<std::thread::id> owner_{};
    // Holds of the owner; read and written by the owning thread only.
    int count_ = 0;
    // Threads waiting, and a count of the releases they wait on.
    std::atomic<int> waiters_{0};
    std::atomic<uint32_t> releases_{0};
    std::atomic<bool> hasHook_{false};
    std::atomic<Hook> hook_;
};

// Holds a RecursiveLock for a scope.
class LockHolder {
public:
    explicit LockHolder(RecursiveLock& lock) : lock_(lock) { lock_.Lock(); }
    ~LockHolder() { lock_.Unlock(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    RecursiveLock& lock_;
};

}  // namespace platform
