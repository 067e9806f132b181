#pragma once

#include <cstdint>
#include <memory>

#include "platform/Messages.h"
#include "platform/Window.h"
#include "render/Window.h"

namespace platform {
class GLContext;
class GLDrawable;
}  // namespace platform

// A top-level window of its own that shows the scene through an embedded view window
// from its own camera: the saved views ("View %i") and, derived, the map window. Its
// rendering context shares the main view's display lists and textures; the render loop
// draws the view like any other once the view is in the control's window list.
//
// The window owns the object: destroying the window takes the view out of the window
// list (under the render lock, so the render thread never draws a view that goes) and
// the last message deletes the object.
class SavedViewWindow {
public:
    // Thread-side set-up of the window's OpenGL: the buffer, its pixel format and a
    // context sharing the main view's lists; once only.
    static constexpr uint32_t kMsgInitialise = platform::WM_USER + 7;

    // `owner` is the window the new one stays above; `pixelFormat` the main view's.
    SavedViewWindow(platform::WindowHandle owner, int pixelFormat);
    // Deletes the context and the buffer, then the view.
    virtual ~SavedViewWindow();
    SavedViewWindow(const SavedViewWindow&) = delete;
    SavedViewWindow& operator=(const SavedViewWindow&) = delete;

    // Makes the native window with `title` on `place` (screen pixels) and sets up its
    // OpenGL. False when the window could not be made; the caller then deletes the
    // object.
    bool Create(const char* title, const platform::Rect& place, bool topmost);

    virtual platform::LResult WindowProc(uint32_t message, platform::WParam wParam,
                                         platform::LParam lParam);
    // The OpenGL of the window, made on the first call.
    virtual void Initialise();
    // The native window is gone: the object deletes itself.
    virtual void OnFinalMessage();
    // A double click exchanges the camera and view flags with the main view, each
    // camera keeping its scale in its new window.
    virtual void OnDoubleClick(int x, int y);
    // The window's pass of the render loop (its context is current).
    virtual void Draw();
    // A press the window's own controls take (the map's navigator); none here.
    virtual bool OnClick(int x, int y);

    // Saved-view and map windows open in the process.
    static int OpenCount();

    platform::WindowHandle handle = platform::kNoWindow;
    Window view;
    platform::WindowHandle owner;
    int pixelFormat;
    std::unique_ptr<platform::GLDrawable> drawable;
    std::unique_ptr<platform::GLContext> context;
    bool contextCreated = false;
    bool destroyed = false;

private:
    void OnDestroy();
};
