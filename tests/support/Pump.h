#pragma once

#include <chrono>
#include <thread>

#include "platform/Window.h"

// How long a test waits for something that should come at once; only reached when it
// hangs. The race checker slows the control's threads many times over, and runs its test
// programs side by side, so it is given longer.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KIVORA_TEST_SLOW_THREADS 1
#endif
#endif
#ifdef KIVORA_TEST_SLOW_THREADS
inline constexpr std::chrono::seconds kPumpPatience{180};
#else
inline constexpr std::chrono::seconds kPumpPatience{30};
#endif

// Pumps the calling thread's messages until `done` answers true (true) or the patience
// above runs out (false).
template <class Done>
bool PumpUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + kPumpPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        platform::PumpUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
