#pragma once

#include "platform/Thread.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

// A signal that threads wait for. An auto-reset event lets one waiter through per
// signal and is reset by that waiter; a manual-reset event stays signalled until reset.
class Event {
public:
    enum class Kind { AutoReset, ManualReset };

    explicit Event(Kind kind = Kind::AutoReset, bool signalled = false, std::string name = {});
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits at most `timeoutMs` of real time (a negative time waits for ever). True when
    // the event was (or became) signalled.
    bool Wait(int64_t timeoutMs);
    const std::string& Name() const { return name_; }

private:
    const Kind kind_;
    const std::string name_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

// Monitors attached to the display: 1 headless, unless a test sets another number
// (0 restores the default).
int GetMonitorCount();
void SetMonitorCountForTesting(int count);

}  // namespace platform
