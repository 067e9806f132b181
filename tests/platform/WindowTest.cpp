#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Input.h"
#include "platform/Window.h"

using namespace platform;

namespace {

constexpr auto kPatience = std::chrono::seconds(10);  // only reached when something hangs

struct Received {
    WindowHandle window;
    uint32_t message;
    WParam wParam;
    LParam lParam;
    std::thread::id thread;
};

// What windows received, from any thread.
class Log {
public:
    void Add(const Received& r) {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.push_back(r);
    }
    std::vector<Received> Entries() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return entries_;
    }
    // Message numbers received by `window` (every window when kNoWindow), in order.
    std::vector<uint32_t> Messages(WindowHandle window = kNoWindow) const {
        std::vector<uint32_t> out;
        for (const auto& r : Entries()) {
            if (window == kNoWindow || r.window == window) out.push_back(r.message);
        }
        return out;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Received> entries_;
};

// Answers chosen messages; the rest go to the default procedure.
using Handler = std::function<std::optional<LResult>(WindowHandle, uint32_t, WParam, LParam)>;

WindowProc Recording(Log& log, Handler handler = {}) {
    return [&log, handler](WindowHandle w, uint32_t m, WParam wp, LParam lp) -> LResult {
        log.Add({w, m, wp, lp, std::this_thread::get_id()});
        if (handler) {
            if (auto r = handler(w, m, wp, lp)) return *r;
        }
        return DefaultWindowProc(w, m, wp, lp);
    };
}

WindowHandle MakeWindow(Log& log, Handler handler = {}, WindowHandle parent = kNoWindow) {
    WindowCreateInfo info;
    info.proc = Recording(log, std::move(handler));
    info.parent = parent;
    info.width = 100;
    info.height = 50;
    return CreateWindow(info);
}

// Destroys its window at the end of the scope (declare it after whatever its
// handler refers to).
class OwnedWindow {
public:
    explicit OwnedWindow(WindowHandle w) : w_(w) {}
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() { DestroyWindow(w_); }
    operator WindowHandle() const { return w_; }

private:
    WindowHandle w_;
};

// Leaves the test thread's queue empty for the next test.
class WindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        Message m;
        while (PeekMessage(m)) {
        }
    }
    static OwnedWindow Make(Log& log, Handler handler = {}, WindowHandle parent = kNoWindow) {
        return OwnedWindow(MakeWindow(log, std::move(handler), parent));
    }
};

// A thread that owns one window and runs its message loop until the window dies.
class LoopThread {
public:
    explicit LoopThread(Log& log, Handler handler = {}) {
        auto future = created_.get_future();
        thread_ = std::thread([this, &log, handler] {
            WindowHandle w = MakeWindow(log,
                                        [handler](WindowHandle w, uint32_t m, WParam wp,
                                                  LParam lp) -> std::optional<LResult> {
                                            if (m == WM_DESTROY) PostQuitMessage(0);
                                            if (handler) return handler(w, m, wp, lp);
                                            return std::nullopt;
                                        });
            id_ = std::this_thread::get_id();
            created_.set_value(w);
            RunMessageLoop();
        });
        window_ = future.get();
    }
    ~LoopThread() {
        DestroyWindow(window_);
        thread_.join();
    }
    WindowHandle window() const { return window_; }
    std::thread::id id() const { return id_; }

private:
    std::promise<WindowHandle> created_;
    std::thread thread_;
    std::thread::id id_;
    WindowHandle window_ = kNoWindow;
};

TEST_F(WindowTest, CreationSendsCreateThenSizeAndTheWindowKeepsItsAttributes) {
    Log log;
    int param = 0;
    const void* seenParam = nullptr;
    WindowCreateInfo info;
    info.proc =
        Recording(log, [&](WindowHandle, uint32_t m, WParam, LParam lp) -> std::optional<LResult> {
            if (m == WM_CREATE)
                seenParam = reinterpret_cast<const WindowCreateInfo*>(lp)->createParam;
            return std::nullopt;
        });
    info.caption = "Plan";
    info.width = 300;
    info.height = 200;
    info.userData = 7;
    info.createParam = &param;
    OwnedWindow w(CreateWindow(info));
    ASSERT_NE(w, kNoWindow);
    EXPECT_EQ(seenParam, &param);
    ASSERT_EQ(log.Messages(), (std::vector<uint32_t>{WM_CREATE, WM_SIZE}));
    EXPECT_EQ(log.Entries()[1].wParam, SIZE_RESTORED);
    EXPECT_EQ(log.Entries()[1].lParam, MakeLParam(300, 200));
    EXPECT_EQ(GetWindowText(w), "Plan");
    EXPECT_EQ(GetWindowUserData(w), 7);
    EXPECT_EQ(SetWindowUserData(w, 9), 7);
    EXPECT_EQ(GetWindowThread(w), std::this_thread::get_id());

    // Size and show state: each change the window must react to comes as a message.
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<uint32_t> messages;
        WParam lastWParam;
        LParam lastLParam;
    };
    const std::vector<Step> steps = {
        {"same size", [&] { SetClientSize(w, 300, 200); }, {}, 0, 0},
        {"new size",
         [&] { SetClientSize(w, 640, 0); },
         {WM_SIZE},
         SIZE_RESTORED,
         MakeLParam(640, 0)},
        {"shown", [&] { EXPECT_FALSE(ShowWindow(w, ShowState::Normal)); }, {WM_SHOWWINDOW}, 1, 0},
        {"minimised", [&] { ShowWindow(w, ShowState::Minimized); }, {WM_SIZE}, SIZE_MINIMIZED, 0},
        {"restored",
         [&] { EXPECT_TRUE(ShowWindow(w, ShowState::Normal)); },
         {WM_SIZE},
         SIZE_RESTORED,
         MakeLParam(640, 0)},
        {"hidden", [&] { ShowWindow(w, ShowState::Hidden); }, {WM_SHOWWINDOW}, 0, 0},
    };
    for (const auto& step : steps) {
        log.Clear();
        step.act();
        EXPECT_EQ(log.Messages(), step.messages) << step.what;
        if (!step.messages.empty()) {
            EXPECT_EQ(log.Entries().back().wParam, step.lastWParam) << step.what;
            EXPECT_EQ(log.Entries().back().lParam, step.lastLParam) << step.what;
        }
    }
    const Rect rect = GetClientRect(w);
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 0);
}

TEST_F(WindowTest, ParentsAndRefusedCreation) {
    Log log;
    OwnedWindow parent = Make(log);
    OwnedWindow child = Make(log, {}, parent);
    EXPECT_EQ(GetParent(child), parent);

    // A window under itself or under its own descendant is refused.
    EXPECT_EQ(SetParent(parent, child), kNoWindow);
    EXPECT_EQ(SetParent(child, child), kNoWindow);
    EXPECT_EQ(GetParent(parent), kNoWindow);

    // Visible only when every ancestor is shown.
    ShowWindow(child, ShowState::Normal);
    EXPECT_FALSE(IsWindowVisible(child));
    ShowWindow(parent, ShowState::Normal);
    EXPECT_TRUE(IsWindowVisible(child));

    // A parent that is no window, or a WM_CREATE answering -1, gives no window; the
    // refused window is destroyed properly.
    EXPECT_EQ(MakeWindow(log, {}, WindowHandle{999999}), kNoWindow);
    Log refusedLog;
    WindowHandle refused = MakeWindow(refusedLog, [](WindowHandle, uint32_t m, WParam, LParam) {
        return m == WM_CREATE ? std::optional<LResult>(-1) : std::nullopt;
    });
    EXPECT_EQ(refused, kNoWindow);
    EXPECT_EQ(refusedLog.Messages(), (std::vector<uint32_t>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTest, PostedMessagesWaitForTheLoopWhileSentOnesRunAtOnce) {
    Log log;
    OwnedWindow w = Make(log, [](WindowHandle, uint32_t m, WParam wp, LParam) {
        return m == WM_USER + 3 ? std::optional<LResult>(wp * 2) : std::nullopt;
    });
    log.Clear();
    EXPECT_TRUE(PostMessage(w, WM_USER + 1, 1));
    EXPECT_TRUE(PostMessage(w, WM_USER + 2, 2));
    EXPECT_EQ(SendMessage(w, WM_USER + 3, 21), 42);
    EXPECT_EQ(log.Messages(), (std::vector<uint32_t>{WM_USER + 3}));

    EXPECT_EQ(PumpUntilIdle(), 2);
    EXPECT_EQ(log.Messages(), (std::vector<uint32_t>{WM_USER + 3, WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(PumpUntilIdle(), 0);

    // A message for the thread itself, and the quit that comes after what was posted
    // before it (the idle pump leaves the quit alone).
    EXPECT_TRUE(PostMessage(kNoWindow, WM_APP, 5));
    PostQuitMessage(3);
    EXPECT_TRUE(PostMessage(w, WM_USER + 1));
    EXPECT_EQ(PumpUntilIdle(), 2);
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessage(m));

    PostMessage(w, WM_USER + 2);
    PostQuitMessage(4);
    log.Clear();
    EXPECT_EQ(RunMessageLoop(), 4);
    EXPECT_EQ(log.Messages(), (std::vector<uint32_t>{WM_USER + 2}));
}

TEST_F(WindowTest, SendFromAnotherThreadBlocksUntilTheOwnerHandlesIt) {
    Log log;
    OwnedWindow w = Make(log, [](WindowHandle, uint32_t m, WParam wp, LParam) {
        if (m != WM_USER) return std::optional<LResult>();
        PostQuitMessage(0);
        return std::optional<LResult>(wp * 2);
    });
    std::atomic<bool> returned{false};
    LResult result = 0;
    std::thread sender([&] {
        result = SendMessage(w, WM_USER, 21);
        returned = true;
    });
    // Nothing can answer the sender until this thread looks at its queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(returned);
    RunMessageLoop();  // waits, then handles the sent message
    sender.join();
    EXPECT_EQ(result, 42);
    const auto entries = log.Entries();
    ASSERT_EQ(entries.back().message, WM_USER);
    EXPECT_EQ(entries.back().thread, std::this_thread::get_id());
}

TEST_F(WindowTest, ThreadsSendingToEachOtherDoNotLockUp) {
    Log log;
    // The other thread, while handling our send, sends back to us: we handle that
    // inside our own wait.
    OwnedWindow here = Make(log, [](WindowHandle, uint32_t m, WParam, LParam) {
        return m == WM_USER + 1 ? std::optional<LResult>(5) : std::nullopt;
    });
    LoopThread there(log, [&](WindowHandle, uint32_t m, WParam, LParam) -> std::optional<LResult> {
        if (m != WM_USER + 2) return std::nullopt;
        return SendMessage(here, WM_USER + 1) + 100;
    });
    LResult result = 0;
    ASSERT_TRUE(SendMessageTimeout(there.window(), WM_USER + 2, 0, 0, 10000, &result));
    EXPECT_EQ(result, 105);
    for (const auto& r : log.Entries()) {
        if (r.message == WM_USER + 1) {
            EXPECT_EQ(r.thread, std::this_thread::get_id());
        }
        if (r.message == WM_USER + 2) {
            EXPECT_EQ(r.thread, there.id());
        }
    }
}

TEST_F(WindowTest, SendsToThreadsThatDoNotAnswer) {
    Log log;
    // A thread that owns a window but never looks at its queue: the send gives up.
    std::promise<WindowHandle> created;
    std::promise<void> release;
    std::thread idle([&] {
        created.set_value(MakeWindow(log));
        release.get_future().wait();
    });
    WindowHandle w = created.get_future().get();
    LResult result = 1;
    EXPECT_FALSE(SendMessageTimeout(w, WM_USER, 0, 0, 5, &result));
    EXPECT_EQ(result, 0);
    release.set_value();
    idle.join();
    // The thread ended: its window went with it and nothing waits for it.
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessage(w, WM_USER));
    EXPECT_EQ(SendMessage(w, WM_USER), 0);
    EXPECT_EQ(log.Messages(w), (std::vector<uint32_t>{WM_CREATE, WM_SIZE}));
}

TEST_F(WindowTest, TimersFireWhenTheDrivenClockReachesThem) {
    ManualCounter clock;
    Log log;
    OwnedWindow w = Make(log);
    EXPECT_EQ(SetTimer(w, 13, 20), 13u);
    EXPECT_EQ(SetTimer(w, 21, 250), 21u);
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<WParam> fired;
    };
    const std::vector<Step> steps = {
        {"19 ms", [&] { clock.AdvanceMilliseconds(19); }, {}},
        {"20 ms", [&] { clock.AdvanceMilliseconds(1); }, {13}},
        {"40 ms", [&] { clock.AdvanceMilliseconds(20); }, {13}},
        // Behind by several periods: once, the most overdue first.
        {"250 ms", [&] { clock.AdvanceMilliseconds(210); }, {13, 21}},
        {"re-armed at 250",
         [&] {
             SetTimer(w, 13, 250);
             clock.AdvanceMilliseconds(249);
         },
         {}},
        {"500 ms", [&] { clock.AdvanceMilliseconds(1); }, {13, 21}},
        {"killed",
         [&] {
             EXPECT_TRUE(KillTimer(w, 21));
             clock.AdvanceMilliseconds(250);
         },
         {13}},
        {"window gone",
         [&] {
             DestroyWindow(w);
             clock.AdvanceMilliseconds(1000);
         },
         {}},
    };
    for (const auto& step : steps) {
        log.Clear();
        step.act();
        PumpUntilIdle();
        std::vector<WParam> fired;
        for (const auto& r : log.Entries()) {
            if (r.message == WM_TIMER) fired.push_back(r.wParam);
        }
        EXPECT_EQ(fired, step.fired) << step.what;
    }
    EXPECT_FALSE(KillTimer(w, 13));
    EXPECT_EQ(SetTimer(w, 13, 20), 0u);

    // A handler that takes longer than its period does not keep the pump going.
    int ticks = 0;
    OwnedWindow slow = Make(log, [&](WindowHandle, uint32_t m, WParam, LParam) {
        if (m == WM_TIMER) {
            // (bounded, so that a pump without the guard fails instead of spinning)
            if (++ticks < 5) clock.AdvanceMilliseconds(30);
        }
        return std::optional<LResult>();
    });
    SetTimer(slow, 1, 20);
    clock.AdvanceMilliseconds(20);
    EXPECT_EQ(PumpUntilIdle(), 1);
    EXPECT_EQ(ticks, 1);
}

TEST_F(WindowTest, AWaitingLoopWakesForItsTimer) {
    for (bool manual : {true, false}) {
        SCOPED_TRACE(manual ? "driven clock" : "real clock");
        std::optional<ManualCounter> clock;
        if (manual) clock.emplace();
        Log log;
        std::promise<void> fired;
        {
            LoopThread loop(
                log, [&](WindowHandle w, uint32_t m, WParam, LParam) -> std::optional<LResult> {
                    if (m == WM_TIMER) {
                        KillTimer(w, 2);
                        fired.set_value();
                    }
                    return std::nullopt;
                });
            ASSERT_EQ(SetTimer(loop.window(), 2, 20), 2u);
            if (manual) {
                clock->AdvanceMilliseconds(19);
                EXPECT_EQ(log.Messages(loop.window()), (std::vector<uint32_t>{WM_CREATE, WM_SIZE}));
                clock->AdvanceMilliseconds(1);
            }
            EXPECT_EQ(fired.get_future().wait_for(kPatience), std::future_status::ready);
        }
    }
}

TEST_F(WindowTest, ModalLoopKeepsTimersAndSentMessagesFlowing) {
    ManualCounter clock;
    Log log;
    ModalLoop modal;
    bool sentSeen = false;
    bool timerSeen = false;
    int modalResult = 0;
    OwnedWindow w =
        Make(log, [&](WindowHandle w, uint32_t m, WParam, LParam) -> std::optional<LResult> {
            switch (m) {
                case WM_USER + 1:  // opens the "dialog"
                    SetTimer(w, 20, 250);
                    modalResult = modal.Run();
                    return 0;
                case WM_USER + 2:  // sent from the other thread
                    sentSeen = modal.IsRunning();
                    break;
                case WM_TIMER:
                    timerSeen = modal.IsRunning();
                    KillTimer(w, 20);
                    modal.End(7);
                    break;
            }
            return std::nullopt;
        });
    std::thread helper([&] {
        const auto until = std::chrono::steady_clock::now() + kPatience;
        while (!modal.IsRunning() && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        SendMessage(w, WM_USER + 2);  // answered from inside the modal loop
        PostMessage(w, WM_USER + 3);
        clock.AdvanceMilliseconds(250);
    });
    PostMessage(w, WM_USER + 1);
    PumpUntilIdle();
    helper.join();
    EXPECT_EQ(modalResult, 7);
    EXPECT_TRUE(sentSeen);
    EXPECT_TRUE(timerSeen);
    // The posted message came before the timer and was handled by the modal loop.
    const auto messages = log.Messages(w);
    auto posted = std::find(messages.begin(), messages.end(), WM_USER + 3);
    auto timer = std::find(messages.begin(), messages.end(), WM_TIMER);
    EXPECT_LT(posted, timer);
}

TEST_F(WindowTest, ModalLoopEndsEarlyOrOnQuit) {
    // Ended before it runs (a dialog that closes while it initialises): answers at once.
    ModalLoop modal;
    modal.End(3);
    EXPECT_EQ(modal.Run(), 3);

    // A quit ends the nested loop and then the outer one.
    Log log;
    int modalResult = 0;
    OwnedWindow w =
        Make(log, [&](WindowHandle, uint32_t m, WParam, LParam) -> std::optional<LResult> {
            if (m != WM_USER) return std::nullopt;
            PostQuitMessage(4);
            modalResult = modal.Run();
            return 0;
        });
    PostMessage(w, WM_USER);
    EXPECT_EQ(RunMessageLoop(), 4);
    EXPECT_EQ(modalResult, -1);
}

TEST_F(WindowTest, DestroyingAWindowDropsItsPendingMessages) {
    Log log;
    OwnedWindow parent = Make(log);
    OwnedWindow child = Make(log, {}, parent);
    SetFocus(child);
    SetCapture(parent);
    for (WindowHandle w : {WindowHandle(parent), WindowHandle(child)}) {
        PostMessage(w, WM_USER + 1);
        PostMessage(w, WM_USER + 2);
        SetTimer(w, 2, 10);
    }
    log.Clear();
    ASSERT_TRUE(DestroyWindow(parent));
    const std::vector<std::pair<WindowHandle, uint32_t>> expected = {
        {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    std::vector<std::pair<WindowHandle, uint32_t>> got;
    for (const auto& r : log.Entries()) got.emplace_back(r.window, r.message);
    EXPECT_EQ(got, expected);

    log.Clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(11));  // the timers would be due
    EXPECT_EQ(PumpUntilIdle(), 0);
    for (WindowHandle w : {WindowHandle(parent), WindowHandle(child)}) {
        EXPECT_FALSE(IsWindow(w));
        EXPECT_FALSE(PostMessage(w, WM_USER));
        EXPECT_EQ(SendMessage(w, WM_USER), 0);
        EXPECT_EQ(SetTimer(w, 3, 10), 0u);
        EXPECT_FALSE(DestroyWindow(w));
        EXPECT_EQ(GetWindowText(w), "");
    }
    EXPECT_TRUE(log.Messages().empty());
    EXPECT_EQ(GetFocus(), kNoWindow);
    EXPECT_EQ(GetCapture(), kNoWindow);

    // A handle is never given out again.
    OwnedWindow next = Make(log);
    EXPECT_NE(next, parent);
    EXPECT_NE(next, child);

    // A message taken from the queue before its window died is not dispatched.
    PostMessage(next, WM_USER);
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    DestroyWindow(next);
    log.Clear();
    EXPECT_EQ(DispatchMessage(m), 0);
    EXPECT_TRUE(log.Messages().empty());

    // Closed by its own handler (the default one destroys): what follows is dropped.
    OwnedWindow closing = Make(log);
    PostMessage(closing, WM_CLOSE);
    PostMessage(closing, WM_USER);
    log.Clear();
    PumpUntilIdle();
    EXPECT_EQ(log.Messages(), (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTest, DestroyFromAnotherThreadRunsOnTheOwner) {
    Log log;
    std::thread::id owner;
    {
        LoopThread loop(log);
        owner = loop.id();
        EXPECT_TRUE(DestroyWindow(loop.window()));
        EXPECT_FALSE(IsWindow(loop.window()));
    }
    for (const auto& r : log.Entries()) EXPECT_EQ(r.thread, owner);
    EXPECT_EQ(log.Messages().back(), WM_NCDESTROY);
}

TEST_F(WindowTest, FocusAndActivationTellBothWindows) {
    Log log;
    OwnedWindow ownA = Make(log);
    OwnedWindow ownB = Make(log);
    const WindowHandle a = ownA;
    const WindowHandle b = ownB;
    using Change = std::vector<std::tuple<WindowHandle, uint32_t, WParam, LParam>>;
    auto changes = [&] {
        Change out;
        for (const auto& r : log.Entries())
            out.emplace_back(r.window, r.message, r.wParam, r.lParam);
        log.Clear();
        return out;
    };
    log.Clear();
    EXPECT_EQ(SetFocus(a), kNoWindow);
    EXPECT_EQ(changes(), (Change{{a, WM_SETFOCUS, 0, 0}}));
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(changes(),
              (Change{{a, WM_KILLFOCUS, ToWParam(b), 0}, {b, WM_SETFOCUS, ToWParam(a), 0}}));
    EXPECT_EQ(SetFocus(b), b);
    EXPECT_EQ(SetFocus(WindowHandle{999999}), kNoWindow);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_TRUE(changes().empty());

    EXPECT_EQ(SetActiveWindow(a), kNoWindow);
    EXPECT_EQ(SetActiveWindow(b), a);
    EXPECT_EQ(changes(), (Change{{a, WM_ACTIVATE, WA_ACTIVE, 0},
                                 {a, WM_ACTIVATE, WA_INACTIVE, static_cast<LParam>(b)},
                                 {b, WM_ACTIVATE, WA_ACTIVE, static_cast<LParam>(a)}}));
    EXPECT_EQ(GetActiveWindow(), b);
    SetFocus(kNoWindow);
    SetActiveWindow(kNoWindow);
}

TEST_F(WindowTest, KeyStateFollowsTheMessagesTheLoopTakes) {
    Log log;
    std::vector<std::pair<uint32_t, bool>> shiftSeen;  // message, Shift down when handled
    OwnedWindow w =
        Make(log, [&](WindowHandle, uint32_t m, WParam, LParam) -> std::optional<LResult> {
            shiftSeen.emplace_back(m, IsKeyDown(VK_SHIFT));
            return std::nullopt;
        });
    const int16_t toggleBefore = GetKeyState(VK_SHIFT) & 1;
    PostMessage(w, WM_KEYDOWN, VK_SHIFT);
    PostMessage(w, WM_KEYDOWN, 'A');
    PostMessage(w, WM_KEYUP, VK_SHIFT);
    PostMessage(w, WM_KEYDOWN, 'A');
    EXPECT_FALSE(IsKeyDown(VK_SHIFT)) << "nothing taken from the queue yet";
    shiftSeen.clear();
    PumpUntilIdle();
    // Key-downs that type are followed by their characters, with Shift as it was.
    const std::vector<std::pair<uint32_t, bool>> expected = {
        {WM_KEYDOWN, true}, {WM_KEYDOWN, true},  {WM_CHAR, true},
        {WM_KEYUP, false},  {WM_KEYDOWN, false}, {WM_CHAR, false}};
    EXPECT_EQ(shiftSeen, expected);
    std::vector<WParam> chars;
    for (const auto& r : log.Entries()) {
        if (r.message == WM_CHAR) chars.push_back(r.wParam);
    }
    EXPECT_EQ(chars, (std::vector<WParam>{'A', 'a'}));
    EXPECT_NE(GetKeyState(VK_SHIFT) & 1, toggleBefore) << "one press flips the toggle";

    // Buttons, and the bit the callers test for a held key.
    PostMessage(w, WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(-3, 4));
    PumpUntilIdle();
    EXPECT_TRUE(GetKeyState(VK_LBUTTON) & 0x800);
    PostMessage(w, WM_LBUTTONUP);
    PumpUntilIdle();
    EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
    EXPECT_EQ(XFromLParam(MakeLParam(-3, 4)), -3);
    EXPECT_EQ(YFromLParam(MakeLParam(-3, 4)), 4);
    EXPECT_EQ(GetKeyState(300), 0);
}

TEST_F(WindowTest, CaptureAndCursorAreKeptByTheLayer) {
    Log log;
    OwnedWindow w = Make(log);
    EXPECT_EQ(SetCapture(w), kNoWindow);
    EXPECT_EQ(SetCapture(WindowHandle{999999}), kNoWindow);
    EXPECT_EQ(GetCapture(), w);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_FALSE(ReleaseCapture());

    const Cursor before = GetCursor();
    SetCursor(kArrowCursor);
    EXPECT_EQ(SetCursor(LoadCursor(514)), kArrowCursor);
    EXPECT_EQ(SetCursor(kWaitCursor), LoadCursor(514));
    EXPECT_EQ(GetCursor(), kWaitCursor);
    EXPECT_NE(LoadCursor(514), LoadCursor(515));
    SetCursor(before);
}

// WM_PAINT comes from UpdateWindow; what the handler draws is cut to the client area.
TEST_F(WindowTest, PaintingDrawsIntoTheClippedClientArea) {
    Log log;
    const uint8_t block[2 * 2 * 3] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    OwnedWindow w = Make(log, [&](WindowHandle w, uint32_t m, WParam, LParam) {
        if (m == WM_PAINT) {
            DrawPixels(w, -1, -1, 2, 2, block);  // only its last pixel lands, at (0, 0)
            DrawPixels(w, 99, 49, 2, 2, block);  // only its first pixel lands, at (99, 49)
        }
        return std::optional<LResult>{};
    });
    EXPECT_EQ(GetWindowPixels(w), std::vector<uint8_t>(100 * 50 * 3, 0));
    ASSERT_TRUE(UpdateWindow(w));
    EXPECT_EQ(log.Messages(w).back(), WM_PAINT);
    const auto pixels = GetWindowPixels(w);
    ASSERT_EQ(pixels.size(), 100u * 50 * 3);
    EXPECT_EQ(pixels[0], 4);
    EXPECT_EQ(pixels[3], 0);
    EXPECT_EQ(pixels[(49 * 100 + 99) * 3], 1);
    EXPECT_EQ(pixels[(49 * 100 + 98) * 3], 0);
    EXPECT_FALSE(UpdateWindow(WindowHandle{999999}));
    EXPECT_TRUE(GetWindowPixels(WindowHandle{999999}).empty());
}

TEST_F(WindowTest, PlaceTopmostAndTheWindowRaisedLast) {
    Log log;
    WindowCreateInfo info;
    info.x = 30;
    info.y = 40;
    info.width = 10;
    info.height = 20;
    info.frameless = true;
    OwnedWindow w(CreateWindow(info));
    EXPECT_EQ(GetWindowRect(w).left, 30);
    EXPECT_EQ(GetWindowRect(w).bottom, 60);
    EXPECT_TRUE(IsWindowFrameless(w));
    EXPECT_FALSE(IsWindowTopmost(w));
    EXPECT_TRUE(SetWindowTopmost(w, true));
    EXPECT_TRUE(IsWindowTopmost(w));

    {
        OwnedWindow other = Make(log);
        EXPECT_TRUE(BringWindowToTop(other));
        EXPECT_EQ(GetTopWindow(), other);
    }
    EXPECT_EQ(GetTopWindow(), kNoWindow);  // the raised window is gone

    SetWorkAreaForTesting(Rect{0, 0, 800, 600});
    EXPECT_EQ(GetWorkArea().right, 800);
    SetWorkAreaForTesting(Rect{});
    EXPECT_EQ(GetWorkArea().right, 1024);
}

}  // namespace
