#pragma once

#include "platform/Component.h"
#include "platform/Messages.h"
#include "platform/Window.h"

namespace platform {

// A component that draws into a window of its own inside a host's window. The host
// creates the component, asks it for its window, and destroys that window (with
// DestroyWindow) before it releases the component.
class IWindowedObject : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10}};

    // Creates the object's window as a child of `parent` (kNoWindow: a top-level
    // window) with the given client size, owned by the calling thread. E_UNEXPECTED
    // when it has one already, E_FAIL when the window refused to be created.
    virtual HRESULT CreateObjectWindow(WindowHandle parent, int width, int height,
                                       WindowHandle* out) = 0;
    // The object's window, or kNoWindow.
    virtual HRESULT GetObjectWindow(WindowHandle* out) = 0;
    // The host's frame (or document) window was activated or deactivated.
    virtual HRESULT OnFrameWindowActivate(bool active) = 0;
};

// The shared bodies of CreateObjectWindow and GetObjectWindow for an object whose
// window (`current`, kNoWindow when none) runs `proc`.
inline HRESULT CreateObjectWindowWith(WindowProc proc, const char* caption, WindowHandle current,
                                      WindowHandle parent, int width, int height,
                                      WindowHandle* out) {
    if (!out) return E_POINTER;
    *out = kNoWindow;
    if (IsWindow(current)) return E_UNEXPECTED;
    WindowCreateInfo info;
    info.proc = std::move(proc);
    info.parent = parent;
    if (caption) info.caption = caption;
    info.width = width;
    info.height = height;
    info.show = ShowState::Normal;
    const WindowHandle made = CreateWindow(info);
    if (made == kNoWindow) return E_FAIL;
    *out = made;
    return S_OK;
}

inline HRESULT GetObjectWindowOf(WindowHandle current, WindowHandle* out) {
    if (!out) return E_POINTER;
    *out = IsWindow(current) ? current : kNoWindow;
    return S_OK;
}

}  // namespace platform
