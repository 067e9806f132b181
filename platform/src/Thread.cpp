#include "platform/Thread.h"

namespace platform {
namespace {

thread_local ThreadPriority t_priority = ThreadPriority::Normal;

}  // namespace

void SetCurrentThreadPriority(ThreadPriority priority) {
    t_priority = priority;
}

ThreadPriority CurrentThreadPriority() {
    return t_priority;
}

}  // namespace platform
