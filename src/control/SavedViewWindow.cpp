#include "control/SavedViewWindow.h"

#include <atomic>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "platform/GLContext.h"

namespace {

std::atomic<int> openWindows{0};

}  // namespace

int SavedViewWindow::OpenCount() {
    return openWindows.load();
}

SavedViewWindow::SavedViewWindow(platform::WindowHandle ownerWindow, int format)
    : owner(ownerWindow), pixelFormat(format) {
    view.frame = this;
    ++openWindows;
}

SavedViewWindow::~SavedViewWindow() {
    view.renderingContext = nullptr;
    view.deviceContext = nullptr;
    context.reset();
    drawable.reset();
    theTrace().Write("End SVW destructor");
}

bool SavedViewWindow::Create(const char* title, const platform::Rect& place, bool topmost) {
    platform::WindowCreateInfo info;
    info.proc = [this](platform::WindowHandle window, uint32_t message, platform::WParam wParam,
                       platform::LParam lParam) {
        if (message == platform::WM_CREATE) handle = window;
        return WindowProc(message, wParam, lParam);
    };
    info.caption = title ? title : "";
    info.x = place.left;
    info.y = place.top;
    info.width = place.right - place.left;
    info.height = place.bottom - place.top;
    info.show = platform::ShowState::Normal;
    info.topmost = topmost;
    if (platform::CreateWindow(info) == platform::kNoWindow) {
        handle = platform::kNoWindow;
        return false;
    }
    platform::SendMessage(handle, kMsgInitialise);
    return true;
}

platform::LResult SavedViewWindow::WindowProc(uint32_t message, platform::WParam wParam,
                                              platform::LParam lParam) {
    using namespace platform;
    BaseControl* control = theControl();
    switch (message) {
        case WM_CREATE:
            view.InitCameraPresets();
            view.windowHandle = handle;
            // Drops onto the window join it with the drop handling.
            return 0;
        case WM_ACTIVATE:
            if (LowWord(wParam) != WA_INACTIVE && control) {
                // The render loop reads the active window during its passes.
                RenderLockScope hold(*control);
                control->activeWindow = &view;
            }
            return 0;
        case WM_LBUTTONDBLCLK:
            if (view.OnBarMouse(message, lParam)) return 0;
            OnDoubleClick(XFromLParam(lParam), YFromLParam(lParam));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP: {
            if (view.OnBarMouse(message, lParam)) return 0;
            MouseHandler* mode = view.GetCurrentMode();
            if (!mode) return 0;
            if (message == WM_LBUTTONDOWN) mode->OnLButtonDown(lParam);
            if (message == WM_LBUTTONUP) mode->OnLButtonUp(lParam);
            if (message == WM_RBUTTONDOWN) mode->OnRButtonDown(lParam);
            if (message == WM_RBUTTONUP) mode->OnRButtonUp(lParam);
            if (message == WM_MBUTTONDOWN) mode->OnMButtonDown(lParam);
            if (message == WM_MBUTTONUP) mode->OnMButtonUp(lParam);
            return 0;
        }
        case WM_MOUSEMOVE: {
            view.OnBarMouse(message, lParam);
            bool handled = false;
            return view.ForwardToCurrentMode(message, wParam, lParam, handled);
        }
        case WM_KEYDOWN: {
            bool handled = false;
            return view.ForwardKeyDown(message, wParam, lParam, handled);
        }
        case WM_SIZE: {
            const Rect client{0, 0, static_cast<int>(LowWord(static_cast<uintptr_t>(lParam))),
                              static_cast<int>(HighWord(static_cast<uintptr_t>(lParam)))};
            LinkedList* windows = control ? control->GetWindowList() : nullptr;
            if (windows) windows->Lock();
            view.OnSize(client);
            if (windows) windows->Unlock();
            return 0;
        }
        case kMsgInitialise:
            Initialise();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_NCDESTROY:
            theTrace().Write("OnNCDestroy");
            OnFinalMessage();
            return 0;
        default:
            return DefaultWindowProc(handle, message, wParam, lParam);
    }
}

void SavedViewWindow::Initialise() {
    if (contextCreated) return;
    BaseControl* control = theControl();
    if (!control) return;
    theTrace().Write("SVW::ITW");
    RenderLockScope hold(*control);
    const Window* main = control->mainWindow;
    drawable = platform::GLDrawable::CreateForWindow(static_cast<int>(view.width),
                                                     static_cast<int>(view.height));
    if (!drawable || !drawable->SetPixelFormat(pixelFormat)) {
        TraceWrite("The saved view's pixel format could not be set");
        drawable.reset();
        return;
    }
    theTrace().Write("SVW2");
    // The view draws the scene's display lists and textures, which the main context holds.
    context = platform::GLContext::Create(pixelFormat, main ? main->renderingContext : nullptr);
    if (!context) {
        TraceWrite("The saved view's context could not be made");
        drawable.reset();
        return;
    }
    view.deviceContext = drawable.get();
    view.renderingContext = context.get();
    contextCreated = true;
}

void SavedViewWindow::OnDestroy() {
    BaseControl* control = theControl();
    if (control && control->mainWindow) {
        {
            RenderLockScope hold(*control);
            control->activeWindow = control->mainWindow;
        }
        if (platform::IsWindow(control->mainWindow->windowHandle))
            platform::SetFocus(control->mainWindow->windowHandle);
    }
    --openWindows;
    theTrace().Write("SVW OnDestroy start");
    if (control) {
        RenderLockScope hold(*control);
        LinkedList* windows = control->GetWindowList();
        if (windows) {
            windows->Lock();
            theTrace().Write("Prior to creating iterator");
            windows->Remove(&view);
            windows->Unlock();
            theTrace().Write("li unlocked");
        }
        if (control->activeWindow == &view) control->activeWindow = control->mainWindow;
        if (control->currentWindow == &view) control->currentWindow = control->mainWindow;
        if (control->mapWindow == &view) control->mapWindow = nullptr;
    }
    destroyed = true;
    theTrace().Write("SVW OnDestroy end");
}

void SavedViewWindow::OnFinalMessage() {
    handle = platform::kNoWindow;
    theTrace().Write("SVW OFM");
    delete this;
}

void SavedViewWindow::OnDoubleClick(int, int) {
    BaseControl* control = theControl();
    Window* main = control ? control->mainWindow : nullptr;
    if (!main || main == &view) return;
    RenderLockScope hold(*control);
    // Zoom is in scene units across the window: each camera keeps its units per pixel.
    auto rescale = [](ViewState& camera, const Window& from, const Window& to) {
        Vector zoom = camera.GetVector(2);
        if (from.width == 0 || to.width == 0) return;
        zoom.x = zoom.x / from.width * to.width;
        zoom.y = zoom.x / (to.aspect > 0.0 ? to.aspect : 1.0);
        camera.SetVector(2, zoom);
    };
    ViewState mine;
    ViewState theirs;
    mine.CopyFrom(view.camera);
    theirs.CopyFrom(main->camera);
    rescale(mine, view, *main);
    rescale(theirs, *main, view);
    view.camera.CopyFrom(theirs);
    main->camera.CopyFrom(mine);
    RenderState flags;
    flags.CopyFrom(view.viewFlags);
    view.viewFlags.CopyFrom(main->viewFlags);
    main->viewFlags.CopyFrom(flags);
}

void SavedViewWindow::Draw() {
    if (!contextCreated) Initialise();
    view.RenderScene(0, 0);
}

bool SavedViewWindow::OnClick(int, int) {
    return false;
}
