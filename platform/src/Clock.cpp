#include "platform/Clock.h"

#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>

namespace platform {
namespace {

struct CounterSource {
    std::function<int64_t()> read;
    int64_t frequency = 0;
};

std::mutex g_sourceMutex;
std::shared_ptr<const CounterSource> g_counter;  // null: system counter
std::function<LocalTime()> g_localTime;          // empty: system clock
std::atomic<void (*)()> g_changeHook{nullptr};

void CounterChanged() {
    if (auto hook = g_changeHook.load()) hook();
}

std::shared_ptr<const CounterSource> CurrentCounter() {
    std::lock_guard<std::mutex> guard(g_sourceMutex);
    return g_counter;
}

int64_t SystemCounter() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

int64_t QueryCounter() {
    auto c = CurrentCounter();
    return c ? c->read() : SystemCounter();
}

int64_t QueryFrequency() {
    auto c = CurrentCounter();
    return c ? c->frequency : 1000000000LL;
}

int64_t QueryMilliseconds() {
    auto c = CurrentCounter();
    if (!c) return SystemCounter() / 1000000LL;
    const int64_t ticks = c->read();
    // Split to avoid overflow of ticks * 1000 on large readings.
    return (ticks / c->frequency) * 1000 + (ticks % c->frequency) * 1000 / c->frequency;
}

void SetCounterSource(std::function<int64_t()> source, int64_t frequency) {
    if (!source || frequency <= 0) {
        ResetCounterSource();
        return;
    }
    auto c = std::make_shared<CounterSource>();
    c->read = std::move(source);
    c->frequency = frequency;
    {
        std::lock_guard<std::mutex> guard(g_sourceMutex);
        g_counter = std::move(c);
    }
    CounterChanged();
}

void ResetCounterSource() {
    {
        std::lock_guard<std::mutex> guard(g_sourceMutex);
        g_counter.reset();
    }
    CounterChanged();
}

void SetCounterChangeHook(void (*hook)()) {
    g_changeHook = hook;
}

struct ManualCounter::State {
    std::atomic<int64_t> ticks{0};
    int64_t frequency;
};

ManualCounter::ManualCounter(int64_t frequency) : state_(new State) {
    state_->frequency = frequency > 0 ? frequency : 1000;
    State* s = state_;
    SetCounterSource([s] { return s->ticks.load(); }, s->frequency);
}

ManualCounter::~ManualCounter() {
    ResetCounterSource();
    delete state_;
}

void ManualCounter::Advance(int64_t ticks) {
    state_->ticks += ticks;
    CounterChanged();
}

void ManualCounter::AdvanceMilliseconds(int64_t ms) {
    state_->ticks += ms * state_->frequency / 1000;
    CounterChanged();
}

int64_t ManualCounter::Now() const {
    return state_->ticks.load();
}

LocalTime GetLocalTime() {
    std::function<LocalTime()> source;
    {
        std::lock_guard<std::mutex> guard(g_sourceMutex);
        source = g_localTime;
    }
    if (source) return source();
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    time_t secs = ts.tv_sec;
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return t;
}

void SetLocalTimeSource(std::function<LocalTime()> source) {
    std::lock_guard<std::mutex> guard(g_sourceMutex);
    g_localTime = std::move(source);
}

}  // namespace platform
