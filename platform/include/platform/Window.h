#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Messages.h"

namespace platform {

// Windows, their message queues and timers.
//
// A window belongs to the thread that created it: its procedure only ever runs on
// that thread. Every thread that owns windows (or sends to them) has one queue.
// Posting appends to the owner's queue and returns at once. Sending from the owner
// calls the procedure directly; sending from another thread hands the message to
// the owner and blocks until the owner has handled it. A thread handles the
// messages sent to it whenever it waits: in its message loop, in a modal loop, and
// while it waits for a send of its own to be answered, so two threads sending to
// each other do not lock up.
//
// Timers are kept per window and id and delivered by the owner's loop as WM_TIMER
// once the layer's clock (platform/Clock.h) has reached their deadline; a timer
// that fell behind fires once, not once per missed period.

using WindowProc = std::function<LResult(WindowHandle, uint32_t, WParam, LParam)>;

// What the default procedure does: WM_CLOSE destroys the window, WM_MOUSEACTIVATE
// answers MA_ACTIVATE, everything else answers 0.
LResult DefaultWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

enum class ShowState { Hidden, Normal, Minimized, Maximized };

struct WindowCreateInfo {
    WindowProc proc;  // empty: DefaultWindowProc
    WindowHandle parent = kNoWindow;
    std::string caption;
    int width = 0;  // client size in pixels
    int height = 0;
    ShowState show = ShowState::Hidden;
    intptr_t userData = 0;
    void* createParam = nullptr;  // for the WM_CREATE handler
    // Position: on the screen for a top-level window, in the parent's client area for
    // a child.
    int x = 0;
    int y = 0;
    bool frameless = false;  // no caption and no border (splash and pop-up windows)
    bool topmost = false;    // stays above the windows that are not topmost
};

struct Size {
    int width = 0;
    int height = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Creates a window owned by the calling thread. The procedure gets WM_CREATE (lParam
// points to `info`; answering -1 refuses the window, which is then destroyed), then
// WM_SIZE with the client size, then WM_SHOWWINDOW when it starts shown. Answers
// kNoWindow when refused or when the parent is not a window.
WindowHandle CreateWindow(const WindowCreateInfo& info);

// Destroys a window and its children: WM_DESTROY goes to the window before its
// children, WM_NCDESTROY last. Its timers die with it; messages still queued for it
// are dropped and messages sent to it later answer 0. Called from another thread,
// the destruction runs on the owner thread and the caller waits for it. Answers
// false for a handle that is not a window.
bool DestroyWindow(WindowHandle window);

bool IsWindow(WindowHandle window);
// The owning thread (a default id when not a window).
std::thread::id GetWindowThread(WindowHandle window);

// Parent (kNoWindow for a top-level window). SetParent answers the old parent, or
// kNoWindow without change when either handle is not a window or the new parent is
// the window itself or one of its descendants.
WindowHandle GetParent(WindowHandle window);
WindowHandle SetParent(WindowHandle window, WindowHandle parent);

Size GetClientSize(WindowHandle window);
Rect GetClientRect(WindowHandle window);  // {0, 0, width, height}
// Sends WM_SIZE when the size changes (negative sizes count as 0).
bool SetClientSize(WindowHandle window, int width, int height);

// Answers whether the window was visible before. Sends WM_SHOWWINDOW when the
// visibility changes and WM_SIZE when it is minimised (SIZE_MINIMIZED, 0 x 0),
// maximised or restored (with the client size).
bool ShowWindow(WindowHandle window, ShowState show);
ShowState GetShowState(WindowHandle window);
// Shown, and every ancestor shown too.
bool IsWindowVisible(WindowHandle window);

// The window's position (see WindowCreateInfo) and client size as a rectangle.
Rect GetWindowRect(WindowHandle window);
bool IsWindowFrameless(WindowHandle window);

// Z order. A topmost window stays above the others; BringWindowToTop raises a window
// above its siblings. GetTopWindow answers the window raised last (kNoWindow when that
// window is gone).
bool SetWindowTopmost(WindowHandle window, bool topmost);
bool IsWindowTopmost(WindowHandle window);
bool BringWindowToTop(WindowHandle window);
WindowHandle GetTopWindow();

// The part of the screen that windows may take (the screen less the panels).
// Headless: 0, 0, 1024, 768 unless a test sets another one (an empty rectangle
// restores the default).
Rect GetWorkArea();
void SetWorkAreaForTesting(const Rect& area);

// Painting. UpdateWindow sends WM_PAINT to the window now; the handler draws with
// DrawPixels into the window's picture, which GetWindowPixels reads back (headless:
// the picture is kept in memory; parts outside the client area are cut off).
bool UpdateWindow(WindowHandle window);
// Copies `width` x `height` RGB pixels (rows top to bottom, 3 bytes each) to (x, y) of
// the client area.
bool DrawPixels(WindowHandle window, int x, int y, int width, int height, const uint8_t* rgb);
// The client area's picture as RGB rows, width x height x 3 bytes (zeros where nothing
// was drawn); empty when the window is not a window.
std::vector<uint8_t> GetWindowPixels(WindowHandle window);

bool SetWindowText(WindowHandle window, const std::string& text);
std::string GetWindowText(WindowHandle window);

// A value the window's owner keeps with it. Set answers the previous value.
intptr_t SetWindowUserData(WindowHandle window, intptr_t data);
intptr_t GetWindowUserData(WindowHandle window);

// Posts to the window's owner thread; kNoWindow posts a message for the calling
// thread itself. Answers false when the window is not a window.
bool PostMessage(WindowHandle window, uint32_t message, WParam wParam = 0, LParam lParam = 0);
// Answers the procedure's result, or 0 when the window is not a window (or its
// owner thread ended before handling the message).
LResult SendMessage(WindowHandle window, uint32_t message, WParam wParam = 0, LParam lParam = 0);
// As SendMessage, but gives up waiting after `timeoutMs` of real time. Answers
// whether the message was handled; the result goes to `result` when given.
bool SendMessageTimeout(WindowHandle window, uint32_t message, WParam wParam, LParam lParam,
                        int64_t timeoutMs, LResult* result = nullptr);
// Handles the message at once when the window belongs to the calling thread (like
// SendMessage); otherwise posts it and returns without waiting for the owner. Answers
// false when the window is not a window.
bool SendNotifyMessage(WindowHandle window, uint32_t message, WParam wParam = 0,
                       LParam lParam = 0);
// Calls the window's procedure for a message taken from the queue (a message whose
// window is gone, or belongs to another thread, is dropped and answers 0).
LResult DispatchMessage(const Message& message);

// Waits for the next message of the calling thread (handling sent messages and
// generating due timers meanwhile). Answers false for WM_QUIT.
bool GetMessage(Message& message);
// As GetMessage without waiting: answers false when nothing is there. WM_QUIT is
// handed out like any other message.
bool PeekMessage(Message& message);
// Puts WM_CHAR (WM_SYSCHAR) for a key-down of a key that types a character at the
// head of the calling thread's queue, so that it is the next message taken.
bool TranslateMessage(const Message& message);
// Asks the calling thread's loop to end; GetMessage answers false once the messages
// posted before are handled.
void PostQuitMessage(int exitCode);
// Gets, translates and dispatches until WM_QUIT; answers its exit code.
int RunMessageLoop();
// Handles sent messages, posted messages and the timers due when it starts, of the
// calling thread, until none is left, without waiting; a pending quit stays pending.
// Answers how many messages were dispatched (sent messages included).
int PumpUntilIdle();

// Timers. SetTimer answers `id` (0 when the window is not a window); setting an id
// that runs already replaces its period and starts it afresh. Periods below 10 ms
// count as 10 ms. Any thread may set or kill a window's timers.
uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs);
bool KillTimer(WindowHandle window, uintptr_t id);
// The period of a running timer in milliseconds; 0 when the window has no such timer.
uint32_t GetTimerPeriod(WindowHandle window, uintptr_t id);

// A nested message loop on the calling thread, for a modal box, dialog or menu: it
// handles sent messages, posted messages and timers like the outer loop until End.
class ModalLoop {
public:
    ModalLoop() = default;
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;

    // Runs until End; answers the code given to End, or -1 when a WM_QUIT ended the
    // loop (the quit is posted again for the outer loop).
    int Run();
    // Ends the loop after the message being handled; callable from any thread.
    void End(int code);
    bool IsRunning() const { return running_; }

private:
    std::atomic<bool> ended_{false};
    std::atomic<bool> running_{false};
    std::atomic<int> code_{0};
    std::thread::id thread_;
};

// Focus and active window (one each per process). The setters answer the previous
// window. SetFocus sends WM_KILLFOCUS to the old window and WM_SETFOCUS to the new
// one; SetActiveWindow sends WM_ACTIVATE (WA_INACTIVE, then WA_ACTIVE). kNoWindow
// clears; a handle that is not a window changes nothing and answers kNoWindow.
WindowHandle SetFocus(WindowHandle window);
WindowHandle GetFocus();
WindowHandle SetActiveWindow(WindowHandle window);
WindowHandle GetActiveWindow();

// Moves a window (within its parent's client area for a child, on the screen for a
// top-level window) and sizes its client area as SetClientSize does. False for a handle
// that is not a window.
bool MoveWindow(WindowHandle window, int x, int y, int width, int height);

}  // namespace platform
