#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

// A re-entrant lock that knows which thread holds it and how many times.
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
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_{};
    int count_ = 0;
    std::function<void()> hook_;
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
