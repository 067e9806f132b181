#include "control/WebPopup.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "control/BaseControl.h"
#include "control/Duzazododiza.h"
#include "foundation/Trace.h"
#include "pagepane/IKVRPagepane.h"
#include "platform/Automation.h"
#include "platform/ExternalBrowser.h"
#include "platform/WindowedObject.h"

namespace {

// The editor's scripting object as a page on another thread sees it: every call is
// carried to the control window's thread and answered from there, so the editor is only
// ever entered on its own thread. It holds no reference to the editor: the editor closes
// every pop-up when its window goes, and once the window is gone a call reaches nothing
// (window handles are never reused).
class ThreadBoundDispatch final : public platform::IDispatch {
public:
    ThreadBoundDispatch(platform::IDispatch* target, platform::WindowHandle window)
        : target_(target), window_(window) {}

    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override {
        if (!out) return platform::E_POINTER;
        if (iid == platform::IUnknown::kIid || iid == platform::IDispatch::kIid) {
            AddRef();
            *out = static_cast<platform::IDispatch*>(this);
            return platform::S_OK;
        }
        *out = nullptr;
        return platform::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs_.Decrement();
        if (left == 0) delete this;
        return left;
    }

    platform::HRESULT GetTypeInfoCount(uint32_t* count) override {
        return Carry([&] { return target_->GetTypeInfoCount(count); });
    }
    platform::HRESULT GetTypeInfo(uint32_t index, platform::IUnknown** info) override {
        return Carry([&] { return target_->GetTypeInfo(index, info); });
    }
    platform::HRESULT GetIDsOfNames(const char16_t* const* names, uint32_t count,
                                    platform::DISPID* ids) override {
        return Carry([&] { return target_->GetIDsOfNames(names, count, ids); });
    }
    platform::HRESULT Invoke(platform::DISPID member, uint16_t flags, platform::DISPPARAMS* params,
                             platform::VARIANT* result) override {
        return Carry([&] { return target_->Invoke(member, flags, params, result); });
    }

private:
    ~ThreadBoundDispatch() = default;

    platform::HRESULT Carry(const std::function<platform::HRESULT()>& call) {
        platform::HRESULT answer = platform::E_UNEXPECTED;
        std::function<void()> run = [&] { answer = call(); };
        // A control whose window is gone answers nothing.
        platform::SendMessage(window_, CDuzazododiza::kMsgCallOnWindowThread, 0,
                              reinterpret_cast<platform::LParam>(&run));
        return answer;
    }

    platform::RefCount refs_;
    platform::IDispatch* target_;
    platform::WindowHandle window_;
};

platform::RefPtr<platform::IDispatch> EditorDispatch() {
    platform::RefPtr<platform::IDispatch> editor;
    auto* control = dynamic_cast<CDuzazododiza*>(theControl());
    if (!control || !platform::IsWindow(control->ControlWindow())) return editor;
    platform::RefPtr<platform::IDispatch> direct;
    if (platform::Failed(control->QueryInterface(platform::IDispatch::kIid, direct.OutParam())) ||
        !direct)
        return editor;
    auto* bound = new (std::nothrow) ThreadBoundDispatch(direct.Get(), control->ControlWindow());
    if (bound) editor = platform::RefPtr<platform::IDispatch>::Adopt(bound);
    return editor;
}

}  // namespace

// Every pop-up shown, with its thread, and the ones whose window is open.
class WebPopupList {
public:
    static WebPopupList& Get() {
        static WebPopupList* list = new WebPopupList;
        return *list;
    }

    void Adopt(WebPopup* popup) {
        ReapFinished();
        std::lock_guard<std::mutex> guard(mutex_);
        shown_.push_back(popup);
        threads_.emplace_back(&WebPopup::Run, popup);
    }

    // Lists the pop-up as open; false when it was asked to close before its window was
    // there to take the request.
    bool Register(WebPopup* popup) {
        std::lock_guard<std::mutex> guard(mutex_);
        open_.push_back(popup);
        return !popup->closeRequested;
    }
    // Asks every pop-up shown to close (one still starting closes as soon as its window
    // exists) and answers the windows already open.
    std::vector<platform::WindowHandle> RequestClose() {
        std::lock_guard<std::mutex> guard(mutex_);
        for (WebPopup* popup : shown_) popup->closeRequested = true;
        std::vector<platform::WindowHandle> windows;
        for (WebPopup* popup : open_) windows.push_back(popup->GetWindow());
        return windows;
    }
    bool AllFinished() {
        std::lock_guard<std::mutex> guard(mutex_);
        for (WebPopup* popup : shown_)
            if (!popup->finished.load()) return false;
        return true;
    }
    void Unregister(WebPopup* popup) {
        std::lock_guard<std::mutex> guard(mutex_);
        open_.erase(std::remove(open_.begin(), open_.end(), popup), open_.end());
    }
    std::vector<platform::WindowHandle> OpenWindows() {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<platform::WindowHandle> windows;
        for (WebPopup* popup : open_) windows.push_back(popup->GetWindow());
        return windows;
    }
    int OpenCount() {
        std::lock_guard<std::mutex> guard(mutex_);
        return static_cast<int>(open_.size());
    }

    // Joins the threads that have ended and deletes their pop-ups.
    void ReapFinished() { Reap(false); }
    void JoinAll() { Reap(true); }

private:
    void Reap(bool all) {
        std::vector<std::thread> ended;
        std::vector<WebPopup*> gone;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            for (size_t i = 0; i < shown_.size();) {
                if (all || shown_[i]->finished.load()) {
                    ended.push_back(std::move(threads_[i]));
                    gone.push_back(shown_[i]);
                    threads_.erase(threads_.begin() + static_cast<std::ptrdiff_t>(i));
                    shown_.erase(shown_.begin() + static_cast<std::ptrdiff_t>(i));
                } else {
                    ++i;
                }
            }
        }
        for (std::thread& thread : ended)
            if (thread.joinable()) thread.join();
        for (WebPopup* popup : gone) delete popup;
    }

    std::mutex mutex_;
    std::vector<WebPopup*> open_;
    std::vector<WebPopup*> shown_;
    std::vector<std::thread> threads_;
};

WebPopup::WebPopup(DialogOwner* dialogOwner) : Dialog(dialogOwner, kTemplate) {}

WebPopup::~WebPopup() {
    if (pagepane) pagepane->Release();
    pagepane = nullptr;
}

void WebPopup::SetURL(const char* text) {
    std::snprintf(address, sizeof address, "%s", text ? text : "");
}

void WebPopup::SetSize(int w, int h) {
    width = w;
    height = h;
}

void WebPopup::SetTopmost(bool on) {
    topmost = on ? 1 : 0;
}

int WebPopup::Show() {
    // The page reaches the editor through an object of the editor's own thread.
    external = EditorDispatch();
    POSTCONDITION(external.Get() != nullptr, "The editor has no scripting object for the page");
    WebPopupList::Get().Adopt(this);
    return 0;
}

void WebPopup::RegisterOpen(WebPopup* popup) {
    if (popup && !WebPopupList::Get().Register(popup) && platform::IsWindow(popup->GetWindow()))
        platform::PostMessage(popup->GetWindow(), platform::WM_CLOSE);
}

void WebPopup::UnregisterOpen(WebPopup* popup) {
    WebPopupList::Get().Unregister(popup);
}

void WebPopup::CloseAll() {
    for (platform::WindowHandle window : WebPopupList::Get().RequestClose())
        platform::SendMessage(window, platform::WM_CLOSE);
}

bool WebPopup::NoneOpen() {
    return OpenCount() == 0;
}

int WebPopup::OpenCount() {
    return WebPopupList::Get().OpenCount();
}

std::vector<platform::WindowHandle> WebPopup::OpenWindows() {
    return WebPopupList::Get().OpenWindows();
}

bool WebPopup::CloseAllAndWait(int64_t timeoutMs) {
    WebPopupList& list = WebPopupList::Get();
    CloseAll();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Pop-ups may still carry calls to this thread while they close.
    while (!list.AllFinished() && std::chrono::steady_clock::now() < end) {
        platform::PumpUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!list.AllFinished()) {
        theTrace().Write("Web pop-ups did not close");
        list.ReapFinished();
        return false;
    }
    list.JoinAll();
    return true;
}

void WebPopup::Run() {
    platform::WindowCreateInfo info;
    info.caption = kTitle;
    info.width = width;
    info.height = height;
    info.show = platform::ShowState::Normal;
    info.proc = [this](platform::WindowHandle window, uint32_t message, platform::WParam wParam,
                       platform::LParam lParam) {
        return WindowProc(window, message, wParam, lParam);
    };
    const platform::WindowHandle window = platform::CreateWindow(info);
    if (window == platform::kNoWindow) {
        // Without a window nothing would end the loop.
        TraceWrite("The web pop-up's window could not be made");
        finished = true;
        return;
    }
    RegisterOpen(this);
    platform::SendMessage(window, platform::WM_INITDIALOG);
    platform::RunMessageLoop();
    UnregisterOpen(this);
    if (pagepane) {
        pagepane->Release();
        pagepane = nullptr;
    }
    external.Reset();
    finished = true;
}

platform::LResult WebPopup::WindowProc(platform::WindowHandle window, uint32_t message,
                                       platform::WParam wParam, platform::LParam lParam) {
    switch (message) {
        case platform::WM_CREATE:
            handle = window;
            return 0;
        case platform::WM_INITDIALOG:
            Initialise();
            return 0;
        case platform::WM_DESTROY:
            // The web pane's window goes with the pop-up's (a child dies with its parent).
            platform::PostQuitMessage(0);
            return 0;
        case platform::WM_NCDESTROY:
            handle = platform::kNoWindow;
            return 0;
        default:
            return platform::DefaultWindowProc(window, message, wParam, lParam);
    }
}

void WebPopup::Initialise() {
    const platform::WindowHandle window = handle.load();
    platform::SetWindowTopmost(window, topmost != 0);
    platform::BringWindowToTop(window);
    platform::SetClientSize(window, width, height);
    platform::SetWindowText(window, title);

    // The web pane, made by its class id and shown in the whole pop-up; a pane that
    // cannot be made leaves the window empty.
    platform::RefPtr<platform::IWindowedObject> pane;
    if (platform::Failed(platform::CreateInstance(kClsidKVRPagepane, &pane)) || !pane) {
        TraceWrite("The web pane could not be made");
        return;
    }
    if (platform::Failed(pane->CreateObjectWindow(window, width, height, &paneWindow))) {
        TraceWrite("The web pane's window could not be made");
        return;
    }
    if (platform::Failed(
            pane->QueryInterface(IKVRPagepane::kIid, reinterpret_cast<void**>(&pagepane))) ||
        !pagepane) {
        TraceWrite("The web pane has no page interface");
        return;
    }
    if (external) pagepane->put_External(external.Get());
    platform::BSTR page = platform::BstrFromUtf8(address);
    pagepane->GoToWebpage(&page);
    platform::FreeBstr(page);
}

void OpenInInternetExplorer(const char* address) {
    if (!address || !address[0]) return;
    if (!platform::OpenInBrowser(address)) theTrace().Write("No browser for the page");
}
