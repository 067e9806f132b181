#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/RecursiveLock.h"

using platform::RecursiveLock;

TEST(RecursiveLock, CountsHoldsOfTheOwningThread) {
    RecursiveLock lock;
    EXPECT_FALSE(lock.IsHeld());
    lock.Lock();
    lock.Lock();
    EXPECT_TRUE(lock.IsHeldByCurrentThread());
    EXPECT_EQ(lock.CountForCurrentThread(), 2);
    EXPECT_EQ(lock.Owner(), std::this_thread::get_id());
    EXPECT_EQ(lock.Unlock(), 1);
    EXPECT_EQ(lock.Unlock(), 0);
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_EQ(lock.Unlock(), -1) << "a release with no hold changes nothing";
}

TEST(RecursiveLock, OtherThreadSeesOwnerButNoCount) {
    RecursiveLock lock;
    lock.Lock();
    std::thread other([&] {
        EXPECT_FALSE(lock.IsHeldByCurrentThread());
        EXPECT_EQ(lock.CountForCurrentThread(), 0);
        EXPECT_FALSE(lock.TryLock());
        EXPECT_EQ(lock.Unlock(), -1);
        EXPECT_EQ(lock.ReleaseFully(), 0);
    });
    other.join();
    EXPECT_EQ(lock.CountForCurrentThread(), 1);
    lock.Unlock();
}

TEST(RecursiveLock, FullReleaseLetsAWaiterInAndReacquireRestoresTheCount) {
    RecursiveLock lock;
    std::atomic<bool> waiterRan{false};
    lock.Lock();
    lock.Lock();
    lock.Lock();
    std::thread waiter([&] {
        lock.Lock();
        waiterRan = true;
        lock.Unlock();
    });
    // The waiter cannot get in while we hold the lock.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(waiterRan);
    const int held = lock.ReleaseFully();
    EXPECT_EQ(held, 3);
    waiter.join();
    EXPECT_TRUE(waiterRan);
    lock.Reacquire(held);
    EXPECT_EQ(lock.CountForCurrentThread(), 3);
    EXPECT_EQ(lock.ReleaseFully(), 3);
    EXPECT_EQ(lock.ReleaseFully(), 0) << "nothing held, nothing released";
}

TEST(RecursiveLock, HookRunsOnlyWhenTheLastHoldGoes) {
    RecursiveLock lock;
    int hookCalls = 0;
    bool heldDuringHook = false;
    lock.SetFullReleaseHook([&] {
        ++hookCalls;
        heldDuringHook = lock.IsHeldByCurrentThread();
    });
    lock.Lock();
    lock.Lock();
    lock.Unlock();
    EXPECT_EQ(hookCalls, 0);
    lock.Unlock();
    EXPECT_EQ(hookCalls, 1);
    EXPECT_TRUE(heldDuringHook);
    lock.Lock();
    lock.ReleaseFully();
    EXPECT_EQ(hookCalls, 2);
    lock.ReleaseFully();
    EXPECT_EQ(hookCalls, 2);
}

TEST(RecursiveLock, GuardsASharedCounterAcrossThreads) {
    RecursiveLock lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                platform::LockHolder outer(lock);
                platform::LockHolder inner(lock);
                ++counter;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(counter, 8000);
}

TEST(RecursiveLock, WaitersAreWokenByEveryKindOfRelease) {
    // Threads that wait, take turns releasing by the last Unlock, by ReleaseFully and
    // between a full release and Reacquire; a waiter left asleep would hang the test.
    RecursiveLock lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 3000; ++i) {
                lock.Lock();
                lock.Lock();
                ++counter;
                switch ((i + t) % 3) {
                    case 0:
                        lock.Unlock();
                        lock.Unlock();
                        break;
                    case 1:
                        EXPECT_EQ(lock.ReleaseFully(), 2);
                        break;
                    default: {
                        const int held = lock.ReleaseFully();
                        std::this_thread::yield();
                        lock.Reacquire(held);
                        ++counter;
                        lock.ReleaseFully();
                        break;
                    }
                }
                if (lock.TryLock()) lock.Unlock();
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(counter, 4 * 3000 + 4000);
    EXPECT_FALSE(lock.IsHeld());
}
