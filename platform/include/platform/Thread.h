#pragma once

#include <thread>

namespace platform {

// Scheduling priority of a thread, from lowest to highest.
enum class ThreadPriority : int {
    Idle = -15,
    Lowest = -2,
    BelowNormal = -1,
    Normal = 0,
    AboveNormal = 1,
    Highest = 2,
    TimeCritical = 15,
};

enum class ProcessPriority { Idle, Normal, High };

// Priorities are recorded for the program's own bookkeeping; the system's scheduler is
// not asked (an ordinary user may not raise a thread on Linux). A thread without a
// recorded priority has Normal.
void SetThreadPriority(std::thread::id thread, ThreadPriority priority);
ThreadPriority GetThreadPriority(std::thread::id thread);
void SetCurrentThreadPriority(ThreadPriority priority);
ThreadPriority CurrentThreadPriority();

void SetProcessPriority(ProcessPriority priority);
ProcessPriority GetProcessPriority();

// Sets the calling thread's priority for a scope and puts the previous one back when it
// ends, on every path out of the scope.
class ScopedThreadPriority {
public:
    explicit ScopedThreadPriority(ThreadPriority priority) : previous_(CurrentThreadPriority()) {
        SetCurrentThreadPriority(priority);
    }
    ~ScopedThreadPriority() { SetCurrentThreadPriority(previous_); }
    ScopedThreadPriority(const ScopedThreadPriority&) = delete;
    ScopedThreadPriority& operator=(const ScopedThreadPriority&) = delete;

private:
    ThreadPriority previous_;
};

}  // namespace platform
