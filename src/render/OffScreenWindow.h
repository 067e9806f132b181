#pragma once

#include <cstdint>

namespace platform {
class GLContext;
class GLDrawable;
}  // namespace platform

// The rendering target without a window that shadow depth maps are drawn into. The
// render thread makes one when it starts (none when the renderer has no off-screen
// buffers) and publishes it with SetOffScreenWindow.
class OffScreenWindow {
public:
    OffScreenWindow() = default;
    virtual ~OffScreenWindow() = default;
    OffScreenWindow(const OffScreenWindow&) = delete;
    OffScreenWindow& operator=(const OffScreenWindow&) = delete;

    platform::GLContext* renderingContext = nullptr;
    platform::GLDrawable* deviceContext = nullptr;
    // Size actually obtained, in pixels.
    uint32_t width = 0;
    uint32_t height = 0;
};

// The process's off-screen buffer, or null.
OffScreenWindow* theOffScreenWindow();
void SetOffScreenWindow(OffScreenWindow* buffer);
