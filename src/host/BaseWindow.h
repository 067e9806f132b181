#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/Component.h"
#include "platform/DialogBox.h"
#include "platform/Messages.h"
#include "platform/SingleInstance.h"
#include "platform/Window.h"

// Every window and dialog of the host: one window procedure turns the messages into the
// virtual calls below. From OnInitDialog to OnCommand a result of 1 means "go on with
// the default processing", 0 "handled".
//
// A top-level or client window is a window of the platform layer whose user data is the
// object. A dialog is one of the host's templates run modally (CreateModal) on the
// calling thread until it ends: through EndDialog on that thread, or WM_CLOSE, or Close
// from any thread. The runner set with SetDialogRunner plays the person's part (tests);
// without one the dialog is shown on the display. A dialog that takes input and that
// nobody answered (no display) is closed at once; a dialog that only shows a text waits
// until it is closed.
//
// Every window of this framework posts WM_QUIT to its thread when it is destroyed.
class BaseWindow {
public:
    // Plays the person's part on a running dialog.
    using DialogRunner = std::function<void(BaseWindow& dialog, uint32_t templateId)>;

    BaseWindow() = default;
    // Destroys the window when it exists (the window hears WM_DESTROY).
    virtual ~BaseWindow();
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    // Stops the window: a window is asked to close and forgotten; a running dialog ends
    // with 0, and one that has not started yet will not show. Any thread.
    virtual void Close();
    virtual int OnInitDialog() { return 1; }
    virtual int OnSize(platform::WParam type, int width, int height) { return 1; }
    virtual int OnDestroy() { return 1; }
    virtual int OnClose() { return 1; }
    virtual int OnKeyDown(platform::WParam wParam, platform::LParam lParam) { return 1; }
    virtual int OnKeyUp(platform::WParam wParam, platform::LParam lParam) { return 1; }
    virtual int OnPaint() { return 1; }
    virtual int OnLButtonDown(platform::WParam wParam, platform::LParam lParam) { return 1; }
    virtual int OnSetFocus() { return 1; }
    virtual int OnQueryEndSession() { return 1; }
    virtual int OnCopyData(platform::WParam wParam, const platform::CopyData* data) { return 1; }
    virtual int OnOK() { return 1; }
    virtual int OnCancel() { return 1; }
    virtual int OnCommand(platform::WParam wParam) { return 1; }

    // A shown top-level window of the given client size, centred in the work area.
    platform::HRESULT CreateTopWindow(const char* title, int width, int height);
    // A shown child window of `parent` at (x, y).
    platform::HRESULT CreateClientWindow(platform::WindowHandle parent, int x, int y, int width,
                                         int height);
    // Runs the dialog template modally; answers its end code (0 when it was closed, or
    // was asked to close before it started; -1 for a template the host does not have).
    int CreateModal(uint32_t templateId);
    // Ends the running dialog with `code` (its own thread).
    void EndDialog(int code);

    void SetPosition(int x, int y, int width, int height);
    void CenterOnWorkArea();
    void BringToFront();

    platform::WindowHandle Window() const { return window_; }
    // The box of the running dialog; null when none runs.
    platform::DialogBox* Dialog() const { return box_; }
    bool IsModal() const { return modal_; }

    // Sets the runner for every later dialog; null restores the default.
    static void SetDialogRunner(DialogRunner runner);
    // The window procedure of every window of the framework.
    static platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                        platform::WParam wParam, platform::LParam lParam);

protected:
    // True for a dialog that only shows a text and waits to be closed.
    virtual bool WaitsToBeClosed() const { return false; }

    platform::WindowHandle window_ = platform::kNoWindow;
    platform::WindowHandle parent_ = platform::kNoWindow;

private:
    platform::LResult DialogProc(uint32_t message, platform::WParam wParam,
                                 platform::LParam lParam);

    // Asks a running dialog's helper window to end the dialog (wParam: the end code).
    static constexpr uint32_t kMsgEndDialog = platform::WM_APP + 1;

    std::atomic<bool> modal_{false};
    platform::DialogBox* box_ = nullptr;
    std::mutex runMutex_;
    platform::ModalLoop* loop_ = nullptr;
    platform::WindowHandle helper_ = platform::kNoWindow;
    bool closeRequested_ = false;
};

// Shows the box on the display until it ends and answers its end code; -1 when there is
// no display to show it on.
int ShowDialogBox(platform::DialogBox& box);

// True when `window` is `ancestor` or lies inside it.
bool IsWindowWithin(platform::WindowHandle window, platform::WindowHandle ancestor);
