#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/Component.h"
#include "platform/Event.h"
#include "platform/ImageDecoder.h"
#include "platform/Window.h"

// The splash window and the thread that owns it. The thread creates a borderless,
// topmost window centred in the work area showing the splash bitmap, runs its message
// loop until the window is gone, and then brings the parent (when one was set) to the
// top. The minimum time runs as a timer of the window; a close asked for before it is
// over waits for it.
//
// The members run on other threads and reach the window through sent messages and its
// timers. The object is deleted by its owner, never by its thread: the destructor
// closes the window when it is still up and joins the thread.
class SplashScreen {
public:
    static constexpr uintptr_t kMinimumTimeTimer = 4369;
    static constexpr uint32_t kDefaultMinimumTimeMs = 3000;
    // Sent by CloseWhenElapsed: the window closes when the time is over, or is marked.
    static constexpr uint32_t kMsgCloseWhenElapsed = platform::WM_USER + 1;

    SplashScreen() = default;
    ~SplashScreen();
    SplashScreen(const SplashScreen&) = delete;
    SplashScreen& operator=(const SplashScreen&) = delete;

    // Starts the thread and waits until its window is up or has failed. S_OK when the
    // window is up; E_FAIL when it could not be made (the thread then ends at once).
    platform::HRESULT Start();
    // The thread has ended (the window is gone).
    bool IsFinished() const { return finished_.load(); }
    bool WaitUntilFinished(int64_t timeoutMs);

    void CloseWhenElapsed();
    void CloseNow();
    // Restarts the minimum time with `milliseconds` (negative counts as 0).
    void SetMinimumTime(int32_t milliseconds);
    void SetParentWindow(platform::WindowHandle parent);

    platform::WindowHandle Window() const { return window_.load(); }
    platform::WindowHandle Parent() const { return parent_.load(); }
    bool IsCloseRequested() const { return closeRequested_.load(); }
    bool IsElapsed() const { return elapsed_.load(); }
    uint32_t MinimumTimeMs() const { return minimumTimeMs_.load(); }
    std::thread::id ThreadId() const { return threadId_; }

private:
    void ThreadMain();
    platform::HRESULT CreateSplashWindow();
    platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

    std::atomic<platform::WindowHandle> window_{platform::kNoWindow};
    std::atomic<platform::WindowHandle> parent_{platform::kNoWindow};
    platform::DecodedImage bitmap_;
    std::thread thread_;
    std::thread::id threadId_;
    std::atomic<bool> closeRequested_{false};
    std::atomic<bool> elapsed_{false};
    std::atomic<uint32_t> minimumTimeMs_{kDefaultMinimumTimeMs};
    std::atomic<bool> finished_{false};
    platform::HRESULT created_ = platform::E_FAIL;
    platform::Event ready_{platform::Event::Kind::ManualReset};
    platform::Event ended_{platform::Event::Kind::ManualReset};
};
