#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Monotonic high-resolution counter. Readings are ticks; `QueryFrequency` gives
// ticks per second. Tests can put a counter of their own in its place.
int64_t QueryCounter();
int64_t QueryFrequency();
// Milliseconds on the same source (timers and time-outs use this).
int64_t QueryMilliseconds();

// Replaces the counter with `source` at `frequency` ticks per second (frequency > 0);
// `ResetCounterSource` brings back the system counter. Process-wide.
void SetCounterSource(std::function<int64_t()> source, int64_t frequency);
void ResetCounterSource();

// Called after the counter moves by other means than time passing (a manual counter
// advanced, a source set or reset), so that threads waiting for a reading can look
// again. One hook per process; null removes it. The message loops install theirs.
void SetCounterChangeHook(void (*hook)());

// A counter for tests that only moves when told to.
class ManualCounter {
public:
    explicit ManualCounter(int64_t frequency = 1000);
    ~ManualCounter();  // restores the system counter
    ManualCounter(const ManualCounter&) = delete;
    ManualCounter& operator=(const ManualCounter&) = delete;
    void Advance(int64_t ticks);
    void AdvanceMilliseconds(int64_t ms);
    int64_t Now() const;

private:
    struct State;
    State* state_;
};

struct LocalTime {
    int year = 0;    // e.g. 2026
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..60
    int millisecond = 0;
};

// Local date and time of the wall clock (not the counter).
LocalTime GetLocalTime();
// Replaces the wall clock for tests; an empty function brings back the real one.
void SetLocalTimeSource(std::function<LocalTime()> source);

}  // namespace platform
