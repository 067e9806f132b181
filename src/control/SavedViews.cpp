// The control's saved-view and map windows: opening, the map toggle and closing them
// all with the control.

#include <cstdio>
#include <new>
#include <vector>

#include "control/Duzazododiza.h"
#include "control/MapWindow.h"
#include "control/RenderLockScope.h"
#include "control/SavedViewWindow.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "render/Window.h"

namespace {

constexpr int kSavedViewSide = 400;
constexpr const char* kMapTitle = "     Map Window";

int MainPixelFormat(const BaseControl& control) {
    const Window* main = control.mainWindow;
    return main && main->deviceContext ? main->deviceContext->PixelFormat() : 0;
}

}  // namespace

SavedViewWindow* CDuzazododiza::OpenSavedViewWindow() {
    Window* main = mainWindow;
    if (!main) return nullptr;
    RenderLockScope hold(*this);
    auto* saved = new (std::nothrow) SavedViewWindow(main->windowHandle, MainPixelFormat(*this));
    if (!saved) return nullptr;
    char title[32];
    std::snprintf(title, sizeof title, "View %i", SavedViewWindow::OpenCount());
    if (!saved->Create(title, platform::Rect{0, 0, kSavedViewSide, kSavedViewSide}, true)) {
        TraceWrite("The saved view's window could not be made");
        delete saved;
        return nullptr;
    }
    const Window* source = activeWindow ? activeWindow : main;
    saved->view.SetViewMode(source->GetViewMode());
    saved->view.camera.SetVector(0, source->camera.GetVector(0));
    saved->view.camera.SetVector(1, source->camera.GetVector(1));
    windowList->Lock();
    windowList->Append(&saved->view);
    windowList->Unlock();
    return saved;
}

void CDuzazododiza::CloseSavedViewWindows() {
    std::vector<platform::WindowHandle> open;
    windowList->Lock();
    for (LinkedListObject* node = windowList->GetHead(); node; node = node->GetNext())
        if (auto* view = dynamic_cast<Window*>(node); view && view->frame)
            open.push_back(view->frame->handle);
    // Each window takes itself out of the list as it goes.
    for (platform::WindowHandle window : open) platform::SendMessage(window, platform::WM_CLOSE);
    windowList->Unlock();
}

Window* CDuzazododiza::CreateMapWindow(const platform::Rect& screenRect, const char* imageUrl) {
    Window* main = mainWindow;
    if (!main) return nullptr;
    auto* map = new (std::nothrow) MapWindow(main->windowHandle, MainPixelFormat(*this));
    if (!map) return nullptr;
    if (!map->Create(kMapTitle, screenRect, false)) {
        TraceWrite("The map window could not be made");
        delete map;
        return nullptr;
    }
    map->view.SetViewMode(Window::kBlueprintView);
    map->LoadNavigator(imageUrl);
    windowList->Lock();
    windowList->Append(&map->view);
    windowList->Unlock();
    return &map->view;
}

void CDuzazododiza::DestroyMapWindow(Window* window) {
    if (window && window->frame && platform::IsWindow(window->frame->handle)) {
        platform::DestroyWindow(window->frame->handle);
        return;
    }
    BaseControl::DestroyMapWindow(window);
}
