#include "introcard/SplashScreen.h"

#include "introcard/IntrocardResources.h"

using platform::HRESULT;

namespace {

// Longest wait for the thread to make its window; only reached when it hangs.
constexpr int64_t kStartWaitMs = 10000;

}  // namespace

SplashScreen::~SplashScreen() {
    if (!thread_.joinable()) return;
    platform::SendMessage(window_.load(), platform::WM_CLOSE);
    thread_.join();
}

HRESULT SplashScreen::Start() {
    if (thread_.joinable()) return platform::E_UNEXPECTED;
    thread_ = std::thread(&SplashScreen::ThreadMain, this);
    threadId_ = thread_.get_id();
    if (!ready_.Wait(kStartWaitMs)) return platform::E_FAIL;
    return created_;
}

bool SplashScreen::WaitUntilFinished(int64_t timeoutMs) {
    return ended_.Wait(timeoutMs);
}

void SplashScreen::ThreadMain() {
    created_ = CreateSplashWindow();
    const bool shown = platform::Succeeded(created_);
    if (shown) {
        ready_.Set();
        platform::RunMessageLoop();
    }
    const platform::WindowHandle parent = parent_.load();
    if (parent != platform::kNoWindow) platform::BringWindowToTop(parent);
    window_ = platform::kNoWindow;
    finished_ = true;
    ended_.Set();
    // A splash that never showed reports back only once it counts as finished, so the
    // starter never sees a splash that failed but has not ended yet.
    if (!shown) ready_.Set();
}

HRESULT SplashScreen::CreateSplashWindow() {
    if (!LoadBitmapResource(kSplashBitmapId, bitmap_) || bitmap_.width <= 0 ||
        bitmap_.height <= 0 || bitmap_.channels != 3)
        return platform::E_FAIL;
    const platform::Rect area = platform::GetWorkArea();
    platform::WindowCreateInfo info;
    info.proc = [this](platform::WindowHandle w, uint32_t m, platform::WParam wp,
                       platform::LParam lp) { return WindowProc(w, m, wp, lp); };
    info.x = (area.right - area.left - bitmap_.width) / 2;
    info.y = (area.bottom - area.top - bitmap_.height) / 2;
    info.width = bitmap_.width;
    info.height = bitmap_.height;
    info.frameless = true;
    const platform::WindowHandle window = platform::CreateWindow(info);
    if (window == platform::kNoWindow) return platform::E_FAIL;
    window_ = window;
    platform::SetWindowUserData(window, reinterpret_cast<intptr_t>(this));
    platform::SetWindowTopmost(window, true);
    platform::SetClientSize(window, bitmap_.width, bitmap_.height);
    platform::ShowWindow(window, platform::ShowState::Normal);
    platform::UpdateWindow(window);
    platform::SetTimer(window, kMinimumTimeTimer, minimumTimeMs_.load());
    return platform::S_OK;
}

platform::LResult SplashScreen::WindowProc(platform::WindowHandle window, uint32_t message,
                                           platform::WParam wParam, platform::LParam lParam) {
    switch (message) {
        case platform::WM_PAINT:
            platform::DrawPixels(window, 0, 0, bitmap_.width, bitmap_.height,
                                 bitmap_.pixels.data());
            return 0;
        case platform::WM_TIMER:
            platform::KillTimer(window, wParam);
            if (wParam == kMinimumTimeTimer) {
                elapsed_ = true;
                if (closeRequested_.load()) platform::DestroyWindow(window);
            }
            return 0;
        case kMsgCloseWhenElapsed:
            // Decided here, on the window's thread, so that a timer firing meanwhile
            // cannot leave a close request unseen.
            if (elapsed_.load()) {
                platform::SendMessage(window, platform::WM_CLOSE);
            } else {
                closeRequested_ = true;
            }
            return 0;
        case platform::WM_DESTROY:
            platform::PostQuitMessage(0);
            return 0;
        case platform::WM_CREATE:
        case platform::WM_NCCALCSIZE:
        case platform::WM_NCACTIVATE:
            return 0;
        default:
            return platform::DefaultWindowProc(window, message, wParam, lParam);
    }
}

void SplashScreen::CloseWhenElapsed() {
    platform::SendMessage(window_.load(), kMsgCloseWhenElapsed);
}

void SplashScreen::CloseNow() {
    platform::SendMessage(window_.load(), platform::WM_CLOSE);
}

void SplashScreen::SetMinimumTime(int32_t milliseconds) {
    const uint32_t time = milliseconds < 0 ? 0u : static_cast<uint32_t>(milliseconds);
    minimumTimeMs_ = time;
    const platform::WindowHandle window = window_.load();
    platform::KillTimer(window, kMinimumTimeTimer);
    platform::SetTimer(window, kMinimumTimeTimer, time);
}

void SplashScreen::SetParentWindow(platform::WindowHandle parent) {
    parent_ = parent;
    platform::SetParent(window_.load(), parent);
}
