#include "platform/Thread.h"

#include <map>
#include <mutex>

namespace platform {
namespace {

struct Priorities {
    std::mutex mutex;
    ProcessPriority process = ProcessPriority::Normal;
    std::map<std::thread::id, ThreadPriority> threads;
};

Priorities& ThePriorities() {
    static Priorities* priorities = new Priorities;
    return *priorities;
}

}  // namespace

void SetThreadPriority(std::thread::id thread, ThreadPriority priority) {
    Priorities& p = ThePriorities();
    std::lock_guard<std::mutex> guard(p.mutex);
    if (priority == ThreadPriority::Normal)
        p.threads.erase(thread);
    else
        p.threads[thread] = priority;
}

ThreadPriority GetThreadPriority(std::thread::id thread) {
    Priorities& p = ThePriorities();
    std::lock_guard<std::mutex> guard(p.mutex);
    auto it = p.threads.find(thread);
    return it == p.threads.end() ? ThreadPriority::Normal : it->second;
}

void SetCurrentThreadPriority(ThreadPriority priority) {
    SetThreadPriority(std::this_thread::get_id(), priority);
}

ThreadPriority CurrentThreadPriority() { return GetThreadPriority(std::this_thread::get_id()); }

void SetProcessPriority(ProcessPriority priority) {
    Priorities& p = ThePriorities();
    std::lock_guard<std::mutex> guard(p.mutex);
    p.process = priority;
}

ProcessPriority GetProcessPriority() {
    Priorities& p = ThePriorities();
    std::lock_guard<std::mutex> guard(p.mutex);
    return p.process;
}

}  // namespace platform
