#include "host/BaseWindow.h"

#include <utility>

#include "foundation/Trace.h"
#include "host/HostResources.h"

using platform::LResult;
using platform::WindowHandle;

namespace {

std::mutex g_runnerMutex;
BaseWindow::DialogRunner& Runner() {
    static BaseWindow::DialogRunner runner;
    return runner;
}

}  // namespace

bool IsWindowWithin(WindowHandle window, WindowHandle ancestor) {
    if (ancestor == platform::kNoWindow) return false;
    for (WindowHandle w = window; w != platform::kNoWindow; w = platform::GetParent(w))
        if (w == ancestor) return true;
    return false;
}

void BaseWindow::SetDialogRunner(DialogRunner runner) {
    std::lock_guard<std::mutex> guard(g_runnerMutex);
    Runner() = std::move(runner);
}

BaseWindow::~BaseWindow() {
    if (platform::IsWindow(window_)) platform::DestroyWindow(window_);
}

void BaseWindow::Close() {
    {
        std::lock_guard<std::mutex> guard(runMutex_);
        closeRequested_ = true;
        // A running dialog ends on its own thread, which its helper window reaches.
        if (modal_) {
            if (platform::IsWindow(helper_)) platform::PostMessage(helper_, kMsgEndDialog, 0);
            return;
        }
    }
    const WindowHandle window = std::exchange(window_, platform::kNoWindow);
    if (platform::IsWindow(window)) {
        platform::SetWindowUserData(window, 0);
        platform::PostMessage(window, platform::WM_CLOSE);
    }
}

platform::HRESULT BaseWindow::CreateTopWindow(const char* title, int width, int height) {
    platform::WindowCreateInfo info;
    info.proc = &BaseWindow::WindowProc;
    info.caption = title ? title : "";
    info.width = width;
    info.height = height;
    const platform::Rect area = platform::GetWorkArea();
    info.x = area.left + std::max(0, (area.right - area.left - width) / 2);
    info.y = area.top + std::max(0, (area.bottom - area.top - height) / 2);
    info.userData = reinterpret_cast<intptr_t>(this);
    const WindowHandle made = platform::CreateWindow(info);
    if (made == platform::kNoWindow) return platform::E_FAIL;
    window_ = made;
    parent_ = platform::kNoWindow;
    platform::SendMessage(made, platform::WM_INITDIALOG, 0, reinterpret_cast<intptr_t>(this));
    return platform::S_OK;
}

platform::HRESULT BaseWindow::CreateClientWindow(WindowHandle parent, int x, int y, int width,
                                                 int height) {
    platform::WindowCreateInfo info;
    info.proc = &BaseWindow::WindowProc;
    info.parent = parent;
    info.caption = "ClientWindow";
    info.x = x;
    info.y = y;
    info.width = width;
    info.height = height;
    info.show = platform::ShowState::Normal;
    info.userData = reinterpret_cast<intptr_t>(this);
    const WindowHandle made = platform::CreateWindow(info);
    if (made == platform::kNoWindow) return platform::E_FAIL;
    window_ = made;
    parent_ = parent;
    platform::SendMessage(made, platform::WM_INITDIALOG, 0, reinterpret_cast<intptr_t>(this));
    return platform::S_OK;
}

int BaseWindow::CreateModal(uint32_t templateId) {
    platform::DialogBox box;
    if (!LoadHostDialog(templateId, box)) return -1;
    platform::ModalLoop loop;
    // A hidden window of this thread: a close from another thread reaches the dialog
    // through it.
    platform::WindowCreateInfo helperInfo;
    helperInfo.proc = [this](WindowHandle w, uint32_t message, platform::WParam wParam,
                             platform::LParam lParam) -> LResult {
        if (message != kMsgEndDialog)
            return platform::DefaultWindowProc(w, message, wParam, lParam);
        EndDialog(static_cast<int>(wParam));
        return 0;
    };
    const WindowHandle helper = platform::CreateWindow(helperInfo);
    {
        std::lock_guard<std::mutex> guard(runMutex_);
        if (closeRequested_) {
            platform::DestroyWindow(helper);
            return 0;
        }
        modal_ = true;
        box_ = &box;
        loop_ = &loop;
        helper_ = helper;
    }
    box.SetProcedure([this](uint32_t message, platform::WParam wParam, platform::LParam lParam) {
        return DialogProc(message, wParam, lParam);
    });
    box.Send(platform::WM_INITDIALOG);
    CenterOnWorkArea();

    DialogRunner runner;
    {
        std::lock_guard<std::mutex> guard(g_runnerMutex);
        runner = Runner();
    }
    if (!box.IsEnded()) {
        if (runner) {
            runner(*this, templateId);
        } else {
            // On the display a person answers; without one nobody can (-1).
            const int shown = platform::RunDialogBox(box);
            if (shown >= 0 && !box.IsEnded()) box.End(shown);
        }
    }
    // A dialog that takes input and was not answered is closed; one that waits to be
    // closed waits.
    if (!box.IsEnded() && !WaitsToBeClosed()) box.Send(platform::WM_CLOSE);
    if (!box.IsEnded()) {
        const int code = loop.Run();
        if (!box.IsEnded()) box.End(code < 0 ? 0 : code);
    }
    {
        std::lock_guard<std::mutex> guard(runMutex_);
        modal_ = false;
        box_ = nullptr;
        loop_ = nullptr;
        helper_ = platform::kNoWindow;
    }
    platform::DestroyWindow(helper);
    TraceWrite("CreateModal complete");
    return box.GetEndCode();
}

void BaseWindow::EndDialog(int code) {
    std::lock_guard<std::mutex> guard(runMutex_);
    if (box_ && !box_->IsEnded()) box_->End(code);
    if (loop_) loop_->End(code);
}

LResult BaseWindow::DialogProc(uint32_t message, platform::WParam wParam, platform::LParam) {
    switch (message) {
        case platform::WM_INITDIALOG:
            OnInitDialog();
            return 1;
        case platform::WM_CLOSE:
            EndDialog(0);
            return 0;
        case platform::WM_COMMAND: {
            const unsigned id = platform::LowWord(wParam);
            if (platform::HighWord(wParam) != platform::BN_CLICKED) {
                OnCommand(wParam);
            } else if (id == kIdOk) {
                OnOK();
            } else if (id == kIdCancel) {
                // Escape and the window's close box: without a handler of its own the
                // dialog closes, its result unchanged.
                if (OnCancel() != 0) EndDialog(0);
            } else {
                OnCommand(wParam);
            }
            return 0;
        }
        default:
            return 0;
    }
}

void BaseWindow::SetPosition(int x, int y, int width, int height) {
    if (platform::IsWindow(window_)) platform::MoveWindow(window_, x, y, width, height);
}

void BaseWindow::CenterOnWorkArea() {
    if (!platform::IsWindow(window_)) return;
    const platform::Rect area = platform::GetWorkArea();
    const platform::Size size = platform::GetClientSize(window_);
    platform::MoveWindow(window_, area.left + (area.right - area.left - size.width) / 2,
                         area.top + (area.bottom - area.top - size.height) / 2, size.width,
                         size.height);
    platform::SetWindowTopmost(window_, true);
}

void BaseWindow::BringToFront() {
    if (!platform::IsWindow(window_)) return;
    platform::BringWindowToTop(window_);
    platform::SetActiveWindow(window_);
    platform::SetFocus(window_);
    platform::UpdateWindow(window_);
}

LResult BaseWindow::WindowProc(WindowHandle window, uint32_t message, platform::WParam wParam,
                               platform::LParam lParam) {
    auto* self = reinterpret_cast<BaseWindow*>(platform::GetWindowUserData(window));
    if (message == platform::WM_DESTROY) {
        if (self) {
            self->OnDestroy();
            self->window_ = platform::kNoWindow;
        }
        platform::SetWindowUserData(window, 0);
        platform::PostQuitMessage(0);
        return 0;
    }
    if (!self) return platform::DefaultWindowProc(window, message, wParam, lParam);
    int result = 1;
    switch (message) {
        case platform::WM_CREATE:
            self->window_ = window;
            return 0;
        case platform::WM_INITDIALOG:
            return self->OnInitDialog();
        case platform::WM_CLOSE:
            result = self->OnClose();
            break;
        case platform::WM_SIZE:
            result = self->OnSize(wParam, platform::LowWord(static_cast<uintptr_t>(lParam)),
                                  platform::HighWord(static_cast<uintptr_t>(lParam)));
            break;
        case platform::WM_SETFOCUS:
            result = self->OnSetFocus();
            break;
        case platform::WM_PAINT:
            result = self->OnPaint();
            break;
        case platform::WM_COPYDATA:
            result = self->OnCopyData(wParam, reinterpret_cast<const platform::CopyData*>(lParam));
            break;
        case platform::WM_KEYDOWN:
            result = self->OnKeyDown(wParam, lParam);
            break;
        case platform::WM_KEYUP:
            result = self->OnKeyUp(wParam, lParam);
            break;
        case platform::WM_LBUTTONDOWN:
            result = self->OnLButtonDown(wParam, lParam);
            break;
        case platform::WM_QUERYENDSESSION:
            return self->OnQueryEndSession();
        case platform::WM_COMMAND: {
            const unsigned id = platform::LowWord(wParam);
            result = id == kIdOk       ? self->OnOK()
                     : id == kIdCancel ? self->OnCancel()
                                       : self->OnCommand(wParam);
            break;
        }
        default:
            break;
    }
    if (result == 0) return 0;
    return platform::DefaultWindowProc(window, message, wParam, lParam);
}
