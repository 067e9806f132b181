#include "platform/Window.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Display.h"
#include "platform/Clock.h"
#include "platform/Input.h"

namespace platform {
namespace {

constexpr uint32_t kMinimumTimerPeriod = 10;

struct ThreadQueue;

// A message sent to a window of another thread, waiting for its owner to handle it.
struct SentMessage {
    WindowHandle window = kNoWindow;
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    bool destroy = false;  // destroy `window` on its owner thread instead
    std::shared_ptr<ThreadQueue> sender;
    LResult result = 0;
    bool done = false;     // the sender may stop waiting
    bool handled = false;  // the owner got to it (false: the owner thread ended)
};

struct Timer {
    WindowHandle window = kNoWindow;
    uintptr_t id = 0;
    int64_t period = 0;
    int64_t due = 0;
    uint64_t order = 0;  // among timers due at the same moment, the older fires first
};

// The message queue of one thread. Everything in it is guarded by the system mutex;
// `wake` is signalled for every change the thread may be waiting for.
struct ThreadQueue {
    std::thread::id thread = std::this_thread::get_id();
    std::condition_variable wake;
    std::deque<Message> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool alive = true;
    bool ui = false;  // the display's UI thread: its waits run GTK's main context
};

// Wakes whatever the queue's thread waits in (under the system mutex).
void Notify(ThreadQueue& queue) {
    queue.wake.notify_all();
    if (queue.ui) display::Wake();
}

struct WindowRecord {
    std::shared_ptr<ThreadQueue> owner;
    std::shared_ptr<const WindowProc> proc;
    WindowHandle parent = kNoWindow;
    std::string caption;
    Size size;
    ShowState show = ShowState::Hidden;
    intptr_t userData = 0;
    bool destroying = false;
    int x = 0;
    int y = 0;
    bool frameless = false;
    bool topmost = false;
    std::vector<uint8_t> pixels;  // RGB picture of the client area, sized on first draw
};

struct WindowSystem {
    std::mutex mutex;
    std::unordered_map<WindowHandle, WindowRecord> windows;
    std::vector<std::weak_ptr<ThreadQueue>> queues;
    uint32_t lastId = 0;
    uint64_t timerOrder = 0;
    WindowHandle focus = kNoWindow;
    WindowHandle active = kNoWindow;
    WindowHandle capture = kNoWindow;
    WindowHandle top = kNoWindow;
    Rect workArea;
};

// Never destroyed: threads may still end (and clean up their queues) while the
// process exits.
WindowSystem& System() {
    static WindowSystem* system = new WindowSystem;
    return *system;
}

using Lock = std::unique_lock<std::mutex>;

WindowRecord* Find(WindowSystem& sys, WindowHandle window) {
    if (window == kNoWindow) return nullptr;
    auto it = sys.windows.find(window);
    return it == sys.windows.end() ? nullptr : &it->second;
}

// A manual clock moved: every waiting loop looks at its timers again.
void WakeAllQueues() {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    for (auto& weak : sys.queues) {
        if (auto q = weak.lock()) Notify(*q);
    }
}

// Forgets every reference to a window that goes away (under the system mutex).
void ForgetWindow(WindowSystem& sys, WindowHandle window) {
    if (sys.focus == window) sys.focus = kNoWindow;
    if (sys.active == window) sys.active = kNoWindow;
    if (sys.capture == window) sys.capture = kNoWindow;
    if (sys.top == window) sys.top = kNoWindow;
    for (auto& [handle, record] : sys.windows) {
        if (record.parent == window) record.parent = kNoWindow;
    }
}

void EndThreadQueue(const std::shared_ptr<ThreadQueue>& queue);

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue) EndThreadQueue(queue);
    }
};

std::shared_ptr<ThreadQueue> CurrentQueue() {
    thread_local QueueHolder holder;
    if (!holder.queue) {
        static std::once_flag hookInstalled;
        std::call_once(hookInstalled, [] { SetCounterChangeHook(&WakeAllQueues); });
        auto queue = std::make_shared<ThreadQueue>();
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        std::erase_if(sys.queues, [](const auto& weak) { return weak.expired(); });
        sys.queues.push_back(queue);
        holder.queue = std::move(queue);
    }
    return holder.queue;
}

// The thread ends: its windows go without further messages (their procedures may
// refer to objects of the thread that are gone), and threads waiting for it to
// handle a sent message stop waiting.
void EndThreadQueue(const std::shared_ptr<ThreadQueue>& queue) {
    auto& sys = System();
    std::vector<WindowHandle> owned;
    std::vector<std::shared_ptr<const WindowProc>> procs;  // released outside the lock
    {
    std::lock_guard<std::mutex> guard(sys.mutex);
    queue->alive = false;
    for (auto& sent : queue->sent) {
        sent->done = true;
        Notify(*sent->sender);
    }
    queue->sent.clear();
    queue->posted.clear();
    queue->timers.clear();
    for (auto& [handle, record] : sys.windows) {
        if (record.owner == queue) owned.push_back(handle);
    }
    for (WindowHandle handle : owned) {
        procs.push_back(std::move(sys.windows[handle].proc));
        sys.windows.erase(handle);
        ForgetWindow(sys, handle);
    }
    std::erase_if(sys.queues, [&](const auto& weak) {
        auto q = weak.lock();
        return !q || q == queue;
    });
    }
    for (WindowHandle handle : owned) display::WindowDestroyed(handle);
}

// Calls a window's procedure on the calling thread, which must own the window.
LResult CallProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    auto self = CurrentQueue();
    std::shared_ptr<const WindowProc> proc;
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record || record->owner != self) return 0;
        proc = record->proc;
    }
    return (*proc)(window, message, wParam, lParam);
}

bool DestroyOnOwner(WindowHandle window);

void HandleSent(const std::shared_ptr<SentMessage>& sent) {
    const LResult result = sent->destroy
                               ? (DestroyOnOwner(sent->window) ? 1 : 0)
                               : CallProc(sent->window, sent->message, sent->wParam, sent->lParam);
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    sent->result = result;
    sent->handled = true;
    sent->done = true;
    Notify(*sent->sender);
}

enum class Next { Got, Quit, Stopped, Empty };

struct TakeOptions {
    bool wait = false;
    bool takeQuit = true;
    const std::atomic<bool>* stop = nullptr;
    int* sentHandled = nullptr;
    std::optional<int64_t> timerCutoff;  // only timers due by then fire
};

// The heart of every loop: handles sent messages, then hands out the oldest posted
// message, then the quit, then the most overdue timer; otherwise waits (when asked)
// until something arrives or the earliest timer is due.
Next TakeNext(ThreadQueue& queue, Message& out, const TakeOptions& options) {
    auto& sys = System();
    Lock lock(sys.mutex);
    bool displayPolled = false;
    for (;;) {
        if (options.stop && options.stop->load()) return Next::Stopped;
        if (!queue.sent.empty()) {
            auto sent = std::move(queue.sent.front());
            queue.sent.pop_front();
            lock.unlock();
            HandleSent(sent);
            if (options.sentHandled) ++*options.sentHandled;
            lock.lock();
            continue;
        }
        if (!queue.posted.empty()) {
            out = queue.posted.front();
            queue.posted.pop_front();
            lock.unlock();
            NoteInputMessage(out);
            return Next::Got;
        }
        const int64_t now = QueryMilliseconds();
        if (queue.quit) {
            if (!options.takeQuit) return Next::Empty;
            queue.quit = false;
            out = Message{kNoWindow, WM_QUIT, static_cast<WParam>(queue.quitCode), 0, now};
            return Next::Quit;
        }
        Timer* next = nullptr;
        for (auto& timer : queue.timers) {
            if (!next || timer.due < next->due ||
                (timer.due == next->due && timer.order < next->order))
                next = &timer;
        }
        if (next && next->due <= std::min(now, options.timerCutoff.value_or(now))) {
            next->due = now + next->period;
            out = Message{next->window, WM_TIMER, next->id, 0, now};
            return Next::Got;
        }
        if (!options.wait) {
            // Without waiting, the UI thread still takes what the display has for it.
            if (!queue.ui || displayPolled) return Next::Empty;
            displayPolled = true;
            display::WaitForEvents(lock, 0);
            continue;
        }
        if (queue.ui) {
            std::optional<int64_t> timeout;
            if (next) timeout = std::max<int64_t>(0, next->due - now);
            display::WaitForEvents(lock, timeout);
        } else if (next) {
            // On a manual clock this returns early now and then and looks again; an
            // advance of the clock wakes the wait at once.
            queue.wake.wait_for(lock, std::chrono::milliseconds(next->due - now));
        } else {
            queue.wake.wait(lock);
        }
    }
}

// Delivers a message on the owner thread of `window`, or hands it over and waits.
// Answers whether the owner handled it.
bool Deliver(WindowHandle window, uint32_t message, WParam wParam, LParam lParam, bool destroy,
             std::optional<std::chrono::steady_clock::time_point> deadline, LResult& result) {
    result = 0;
    auto self = CurrentQueue();
    auto& sys = System();
    Lock lock(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return false;
    if (record->owner == self) {
        lock.unlock();
        result =
            destroy ? (DestroyOnOwner(window) ? 1 : 0) : CallProc(window, message, wParam, lParam);
        return true;
    }
    auto target = record->owner;
    if (!target->alive) return false;
    auto sent = std::make_shared<SentMessage>();
    sent->window = window;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->destroy = destroy;
    sent->sender = self;
    target->sent.push_back(sent);
    Notify(*target);
    while (!sent->done) {
        // While waiting, this thread serves the messages sent to it.
        if (!self->sent.empty()) {
            auto incoming = std::move(self->sent.front());
            self->sent.pop_front();
            lock.unlock();
            HandleSent(incoming);
            lock.lock();
            continue;
        }
        if (!deadline) {
            self->wake.wait(lock);
        } else if (self->wake.wait_until(lock, *deadline) == std::cv_status::timeout &&
                   !sent->done) {
            std::erase(target->sent, sent);
            return false;
        }
    }
    result = sent->result;
    return sent->handled;
}

bool DestroyOnOwner(WindowHandle window) {
    auto& sys = System();
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        if (record->destroying) return true;
        record->destroying = true;
    }
    CallProc(window, WM_DESTROY, 0, 0);
    std::vector<WindowHandle> children;
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        for (auto& [handle, record] : sys.windows) {
            if (record.parent == window) children.push_back(handle);
        }
    }
    std::sort(children.begin(), children.end());  // creation order
    for (WindowHandle child : children) DestroyWindow(child);
    CallProc(window, WM_NCDESTROY, 0, 0);

    std::shared_ptr<const WindowProc> proc;  // released outside the lock
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return true;
        proc = std::move(record->proc);
        auto& queue = *record->owner;
        std::erase_if(queue.posted, [&](const Message& m) { return m.window == window; });
        std::erase_if(queue.timers, [&](const Timer& t) { return t.window == window; });
        sys.windows.erase(window);
        ForgetWindow(sys, window);
    }
    display::WindowDestroyed(window);
    return true;
}

LResult SendNotice(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    LResult result = 0;
    Deliver(window, message, wParam, lParam, false, std::nullopt, result);
    return result;
}

}  // namespace

void display::MarkUiQueue() {
    auto self = CurrentQueue();
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    self->ui = true;
}

LResult DefaultWindowProc(WindowHandle window, uint32_t message, WParam, LParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_ACTIVATE;
        default:
            return 0;
    }
}

WindowHandle CreateWindow(const WindowCreateInfo& info) {
    auto self = CurrentQueue();
    const bool onUi = display::Active() && display::AdoptUiThread();
    auto& sys = System();
    WindowHandle window;
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        if (info.parent != kNoWindow && !Find(sys, info.parent)) return kNoWindow;
        do {
            ++sys.lastId;
        } while (sys.lastId == 0 || sys.windows.contains(WindowHandle{sys.lastId}));
        window = WindowHandle{sys.lastId};
        WindowRecord record;
        record.owner = self;
        record.proc = std::make_shared<const WindowProc>(info.proc ? info.proc
                                                                   : WindowProc(DefaultWindowProc));
        record.parent = info.parent;
        record.caption = info.caption;
        record.size = Size{std::max(0, info.width), std::max(0, info.height)};
        record.userData = info.userData;
        record.x = info.x;
        record.y = info.y;
        record.frameless = info.frameless;
        record.topmost = info.topmost;
        if (onUi) self->ui = true;
        sys.windows.emplace(window, std::move(record));
    }
    display::WindowCreated(window, info);
    if (CallProc(window, WM_CREATE, 0, reinterpret_cast<LParam>(&info)) == -1) {
        DestroyWindow(window);
        return kNoWindow;
    }
    const Size size = GetClientSize(window);
    CallProc(window, WM_SIZE, SIZE_RESTORED, MakeLParam(size.width, size.height));
    if (info.show != ShowState::Hidden) ShowWindow(window, info.show);
    return IsWindow(window) ? window : kNoWindow;
}

bool DestroyWindow(WindowHandle window) {
    LResult result = 0;
    return Deliver(window, WM_NULL, 0, 0, true, std::nullopt, result) && result != 0;
}

bool IsWindow(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    return Find(sys, window) != nullptr;
}

std::thread::id GetWindowThread(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? record->owner->thread : std::thread::id{};
}

WindowHandle GetParent(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? record->parent : kNoWindow;
}

WindowHandle SetParent(WindowHandle window, WindowHandle parent) {
    auto& sys = System();
    WindowHandle old;
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return kNoWindow;
        for (WindowHandle up = parent; up != kNoWindow;) {
            WindowRecord* ancestor = Find(sys, up);
            if (!ancestor || up == window) return kNoWindow;
            up = ancestor->parent;
        }
        old = std::exchange(record->parent, parent);
    }
    display::WindowReparented(window, parent);
    return old;
}

Size GetClientSize(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? record->size : Size{};
}

Rect GetClientRect(WindowHandle window) {
    const Size size = GetClientSize(window);
    return Rect{0, 0, size.width, size.height};
}

bool SetClientSize(WindowHandle window, int width, int height) {
    const Size size{std::max(0, width), std::max(0, height)};
    ShowState show;
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        if (record->size.width == size.width && record->size.height == size.height) return true;
        record->size = size;
        show = record->show;
    }
    display::WindowResized(window, size.width, size.height);
    // A minimised window keeps showing 0 x 0; it hears of the new size when restored.
    if (show != ShowState::Minimized) {
        SendNotice(window, WM_SIZE, show == ShowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                   MakeLParam(size.width, size.height));
    }
    return true;
}

bool ShowWindow(WindowHandle window, ShowState show) {
    ShowState old;
    Size size;
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        old = std::exchange(record->show, show);
        size = record->size;
    }
    if (old != show) display::WindowShown(window, show);
    const bool wasVisible = old != ShowState::Hidden;
    const bool visible = show != ShowState::Hidden;
    if (wasVisible != visible) SendNotice(window, WM_SHOWWINDOW, visible ? 1 : 0, 0);
    if (show != old && visible) {
        const LParam packed = MakeLParam(size.width, size.height);
        if (show == ShowState::Minimized) {
            SendNotice(window, WM_SIZE, SIZE_MINIMIZED, 0);
        } else if (show == ShowState::Maximized) {
            SendNotice(window, WM_SIZE, SIZE_MAXIMIZED, packed);
        } else if (old != ShowState::Hidden) {
            SendNotice(window, WM_SIZE, SIZE_RESTORED, packed);
        }
    }
    return wasVisible;
}

ShowState GetShowState(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? record->show : ShowState::Hidden;
}

bool IsWindowVisible(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return false;
    for (; record; record = Find(sys, record->parent)) {
        if (record->show == ShowState::Hidden) return false;
    }
    return true;
}

Rect GetWindowRect(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return Rect{};
    return Rect{record->x, record->y, record->x + record->size.width,
                record->y + record->size.height};
}

bool IsWindowFrameless(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record && record->frameless;
}

bool SetWindowTopmost(WindowHandle window, bool topmost) {
    auto& sys = System();
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        record->topmost = topmost;
    }
    display::WindowTopmostChanged(window, topmost);
    return true;
}

bool IsWindowTopmost(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record && record->topmost;
}

bool BringWindowToTop(WindowHandle window) {
    auto& sys = System();
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        if (!Find(sys, window)) return false;
        sys.top = window;
    }
    display::WindowRaised(window);
    return true;
}

WindowHandle GetTopWindow() {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    return sys.top;
}

Rect GetWorkArea() {
    auto& sys = System();
    std::unique_lock<std::mutex> guard(sys.mutex);
    const Rect a = sys.workArea;
    if (a.right > a.left && a.bottom > a.top) return a;
    guard.unlock();
    Rect shown;
    if (display::WorkArea(&shown)) return shown;
    return Rect{0, 0, 1024, 768};
}

void SetWorkAreaForTesting(const Rect& area) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    sys.workArea = area;
}

bool UpdateWindow(WindowHandle window) {
    if (!IsWindow(window)) return false;
    SendMessage(window, WM_PAINT, 0, 0);
    return true;
}

bool DrawPixels(WindowHandle window, int x, int y, int width, int height, const uint8_t* rgb) {
    if (!rgb || width <= 0 || height <= 0) return false;
    auto& sys = System();
    std::unique_lock<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return false;
    const Size size = record->size;
    const size_t needed = static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * 3;
    if (record->pixels.size() != needed) record->pixels.assign(needed, 0);
    const int left = std::max(0, x);
    const int right = std::min(size.width, x + width);
    if (left >= right) return true;
    for (int row = std::max(0, y); row < std::min(size.height, y + height); ++row) {
        const uint8_t* from = rgb + (static_cast<size_t>(row - y) * width + (left - x)) * 3;
        uint8_t* to = record->pixels.data() + (static_cast<size_t>(row) * size.width + left) * 3;
        std::copy(from, from + static_cast<size_t>(right - left) * 3, to);
    }
    guard.unlock();
    display::WindowPixelsChanged(window);
    return true;
}

std::vector<uint8_t> GetWindowPixels(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return {};
    const size_t needed =
        static_cast<size_t>(record->size.width) * static_cast<size_t>(record->size.height) * 3;
    if (record->pixels.size() != needed) return std::vector<uint8_t>(needed, 0);
    return record->pixels;
}

bool SetWindowText(WindowHandle window, const std::string& text) {
    auto& sys = System();
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        record->caption = text;
    }
    display::WindowTextChanged(window, text);
    return true;
}

std::string GetWindowText(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? record->caption : std::string();
}

intptr_t SetWindowUserData(WindowHandle window, intptr_t data) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? std::exchange(record->userData, data) : 0;
}

intptr_t GetWindowUserData(WindowHandle window) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    return record ? record->userData : 0;
}

bool PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    std::shared_ptr<ThreadQueue> self;
    if (window == kNoWindow) self = CurrentQueue();
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    ThreadQueue* target = self.get();
    if (window != kNoWindow) {
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        target = record->owner.get();
    }
    if (!target->alive) return false;
    target->posted.push_back(Message{window, message, wParam, lParam, QueryMilliseconds()});
    Notify(*target);
    return true;
}

LResult SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return SendNotice(window, message, wParam, lParam);
}

bool SendMessageTimeout(WindowHandle window, uint32_t message, WParam wParam, LParam lParam,
                        int64_t timeoutMs, LResult* result) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(std::max<int64_t>(0, timeoutMs));
    LResult answer = 0;
    const bool handled = Deliver(window, message, wParam, lParam, false, deadline, answer);
    if (result) *result = answer;
    return handled;
}

bool SendNotifyMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (!IsWindow(window)) return false;
    if (GetWindowThread(window) != std::this_thread::get_id())
        return PostMessage(window, message, wParam, lParam);
    SendMessage(window, message, wParam, lParam);
    return true;
}

LResult DispatchMessage(const Message& message) {
    if (message.window == kNoWindow) return 0;
    return CallProc(message.window, message.message, message.wParam, message.lParam);
}

// The program's main thread becomes the display's UI thread when it first waits for
// messages (if no window of its own made it one before).
void JoinDisplay(ThreadQueue& queue) {
    if (!queue.ui && display::Active()) display::AdoptUiThread();
}

bool GetMessage(Message& message) {
    JoinDisplay(*CurrentQueue());
    TakeOptions options;
    options.wait = true;
    return TakeNext(*CurrentQueue(), message, options) == Next::Got;
}

bool PeekMessage(Message& message) {
    JoinDisplay(*CurrentQueue());
    const Next next = TakeNext(*CurrentQueue(), message, TakeOptions{});
    return next == Next::Got || next == Next::Quit;
}

bool TranslateMessage(const Message& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
    const int key = static_cast<int>(message.wParam);
    const bool shift = IsKeyDown(VK_SHIFT);
    int ch = 0;
    if (key >= 'A' && key <= 'Z') {
        ch = shift ? key : key - 'A' + 'a';
    } else if (key >= '0' && key <= '9') {
        ch = key;
    } else {
        switch (key) {
            case VK_SPACE:
                ch = ' ';
                break;
            case VK_RETURN:
                ch = '\r';
                break;
            case VK_BACK:
                ch = '\b';
                break;
            case VK_TAB:
                ch = '\t';
                break;
            case VK_ESCAPE:
                ch = 0x1B;
                break;
            case VK_ADD:
                ch = '+';
                break;
            case VK_SUBTRACT:
                ch = '-';
                break;
            case VK_OEM_MINUS:
                ch = shift ? '_' : '-';
                break;
            default:
                return false;
        }
    }
    // The character is the next message the loop takes, before anything posted later.
    const uint32_t charMessage = message.message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    auto self = CurrentQueue();
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    if (message.window != kNoWindow && !Find(sys, message.window)) return false;
    self->posted.push_front(Message{message.window, charMessage, static_cast<WParam>(ch),
                                    message.lParam, message.time});
    return true;
}

void PostQuitMessage(int exitCode) {
    auto self = CurrentQueue();
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    self->quit = true;
    self->quitCode = exitCode;
    Notify(*self);
}

int RunMessageLoop() {
    Message message;
    while (GetMessage(message)) {
        TranslateMessage(message);
        DispatchMessage(message);
    }
    return static_cast<int>(message.wParam);
}

int PumpUntilIdle() {
    auto self = CurrentQueue();
    JoinDisplay(*self);
    int count = 0;
    TakeOptions options;
    options.takeQuit = false;
    options.sentHandled = &count;
    // A timer fires at most once per pump, even when its handler outlasts its period.
    options.timerCutoff = QueryMilliseconds();
    Message message;
    while (TakeNext(*self, message, options) == Next::Got) {
        TranslateMessage(message);
        DispatchMessage(message);
        ++count;
    }
    return count;
}

uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
    if (id == 0) return 0;
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return 0;
    const int64_t period = std::max(periodMs, kMinimumTimerPeriod);
    const int64_t due = QueryMilliseconds() + period;
    auto& timers = record->owner->timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it != timers.end()) {
        it->period = period;
        it->due = due;
    } else {
        timers.push_back(Timer{window, id, period, due, ++sys.timerOrder});
    }
    Notify(*record->owner);
    return id;
}

bool KillTimer(WindowHandle window, uintptr_t id) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return false;
    return std::erase_if(record->owner->timers,
                         [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
}

uint32_t GetTimerPeriod(WindowHandle window, uintptr_t id) {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    WindowRecord* record = Find(sys, window);
    if (!record) return 0;
    for (const Timer& t : record->owner->timers)
        if (t.window == window && t.id == id) return static_cast<uint32_t>(t.period);
    return 0;
}

int ModalLoop::Run() {
    auto self = CurrentQueue();
    JoinDisplay(*self);
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        thread_ = self->thread;
    }
    running_ = true;
    TakeOptions options;
    options.wait = true;
    options.stop = &ended_;
    int result = -1;
    Message message;
    for (;;) {
        const Next next = TakeNext(*self, message, options);
        if (next == Next::Stopped) {
            result = code_;
            break;
        }
        if (next == Next::Quit) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(message);
        DispatchMessage(message);
    }
    running_ = false;
    ended_ = false;  // ready to run again
    return result;
}

void ModalLoop::End(int code) {
    code_ = code;
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    ended_ = true;
    for (auto& weak : sys.queues) {
        auto q = weak.lock();
        if (q && q->thread == thread_) Notify(*q);
    }
}

WindowHandle SetFocus(WindowHandle window) {
    WindowHandle old;
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        if (window != kNoWindow && !Find(sys, window)) return kNoWindow;
        old = sys.focus;
        if (old == window) return old;
        sys.focus = window;
    }
    display::FocusChanged(window);
    if (old != kNoWindow) SendNotice(old, WM_KILLFOCUS, ToWParam(window), 0);
    if (window != kNoWindow) SendNotice(window, WM_SETFOCUS, ToWParam(old), 0);
    return old;
}

WindowHandle GetFocus() {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    return sys.focus;
}

WindowHandle SetActiveWindow(WindowHandle window) {
    WindowHandle old;
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        if (window != kNoWindow && !Find(sys, window)) return kNoWindow;
        old = sys.active;
        if (old == window) return old;
        sys.active = window;
    }
    if (old != kNoWindow) SendNotice(old, WM_ACTIVATE, WA_INACTIVE, static_cast<LParam>(window));
    if (window != kNoWindow) SendNotice(window, WM_ACTIVATE, WA_ACTIVE, static_cast<LParam>(old));
    return old;
}

WindowHandle GetActiveWindow() {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    return sys.active;
}

WindowHandle SetCapture(WindowHandle window) {
    auto& sys = System();
    WindowHandle old;
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        if (!Find(sys, window)) return kNoWindow;
        old = std::exchange(sys.capture, window);
    }
    display::CaptureChanged(window);
    return old;
}

WindowHandle GetCapture() {
    auto& sys = System();
    std::lock_guard<std::mutex> guard(sys.mutex);
    return sys.capture;
}

bool ReleaseCapture() {
    auto& sys = System();
    bool had;
    {
        std::lock_guard<std::mutex> guard(sys.mutex);
        had = std::exchange(sys.capture, kNoWindow) != kNoWindow;
    }
    if (had) display::CaptureChanged(kNoWindow);
    return had;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height) {
    {
        auto& sys = System();
        std::lock_guard<std::mutex> guard(sys.mutex);
        WindowRecord* record = Find(sys, window);
        if (!record) return false;
        record->x = x;
        record->y = y;
    }
    return SetClientSize(window, width, height);
}

}  // namespace platform
