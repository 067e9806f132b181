#pragma once

// The seam between the layer's own window table and the display implementation
// (platform/src/gtk/). The window table stays the one truth about windows; the display
// shows it and feeds the person's input back as messages. Every function here is
// harmless headless: the "Window" ones do nothing, the queries answer "none".
//
// The display is chosen once, on first use: headless when KIVORA_HEADLESS is set to a
// value other than "0", when there is no X display to open, or when GTK refuses to
// start; the display otherwise. The thread that creates the first window on the
// display becomes the UI thread: every GTK call runs there, and its message loop runs
// GTK's main context too. Calls from other threads are handed to it.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Component.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace platform {
class IWebView;
class Menu;
class DialogBox;
struct FileDialogRequest;
}  // namespace platform

namespace platform::display {

// Whether the display implementation runs (decided on the first call, never changed).
bool Active();
// The X display name the choice opened (empty headless).
const std::string& DisplayName();
// Whether the calling thread is the UI thread (false headless).
bool OnUiThread();
// Makes the calling thread the UI thread when there is none yet (starting GTK there).
// Answers whether the calling thread is the UI thread afterwards.
bool AdoptUiThread();

// The window table's side: marks the calling thread's queue as the UI thread's.
void MarkUiQueue();

// Runs `task` on the UI thread: at once when called there, else queued in order.
void RunOnUi(std::function<void()> task);
// As RunOnUi, but waits for the task to finish. Must not be called with the window
// table's lock held.
void RunOnUiAndWait(const std::function<void()>& task);

// The UI thread's wait for work, in place of its queue's condition variable: runs
// GTK's main context once (blocking at most `timeoutMs` when given), with `lock`
// released meanwhile.
void WaitForEvents(std::unique_lock<std::mutex>& lock, std::optional<int64_t> timeoutMs);
// Wakes the UI thread's wait (any thread).
void Wake();

// Mirrors of the window table (called without its lock).
void WindowCreated(WindowHandle window, const WindowCreateInfo& info);
void WindowDestroyed(WindowHandle window);
void WindowShown(WindowHandle window, ShowState show);
void WindowResized(WindowHandle window, int width, int height);
void WindowTextChanged(WindowHandle window, const std::string& text);
void WindowReparented(WindowHandle window, WindowHandle parent);
void WindowPixelsChanged(WindowHandle window);
void WindowRaised(WindowHandle window);
void WindowTopmostChanged(WindowHandle window, bool topmost);
void FocusChanged(WindowHandle window);
void CaptureChanged(WindowHandle window);
void CursorChanged(Cursor cursor);

// Where a window's client area shows: inside which top-level X window, at which
// offset and size, and whether it is mapped. False until it is on the screen (and
// headless). Any thread.
struct NativePlace {
    unsigned long topWindow = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool mapped = false;
};
bool NativePlacement(WindowHandle window, NativePlace* place);
// The screen's work area; false headless.
bool WorkArea(Rect* area);
// Colour bits of the screen and monitors; false headless.
bool ScreenColorBits(int* bits);
bool MonitorCount(int* count);

// Menus, boxes and dialogs shown with GTK, modally (any thread; the UI thread shows
// them). They answer as their headless models do.
uint32_t TrackMenu(const Menu& menu, int screenX, int screenY);
MessageAnswer ShowMessage(const MessageBoxRequest& request);
bool ChooseFile(const FileDialogRequest& request, std::string* chosen);
int RunDialog(DialogBox& box);

// A web view of WebKitGTK.
HRESULT MakeWebView(IWebView** out);

}  // namespace platform::display
