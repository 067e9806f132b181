#pragma once

#include <cstdint>
#include <memory>

namespace platform {
class GLContext;
class GLDrawable;
}  // namespace platform

// How an off-screen buffer is made: the renderer's own way by default, a stand-in in
// tests.
class OffScreenAllocator {
public:
    virtual ~OffScreenAllocator() = default;
    // A single-buffered format that draws off screen with 24 depth and 8 stencil bits;
    // 0 when there is none.
    virtual int ChooseFormat();
    // The largest buffer of `format`: per side and in pixels. False when unknown.
    virtual bool QueryMaximum(int format, int& maxWidth, int& maxHeight, int& maxPixels);
    // A buffer of that size, or null when it cannot be had.
    virtual std::unique_ptr<platform::GLDrawable> CreateBuffer(int format, int width, int height);
    // A context for the buffer sharing display lists and textures with `shareWith`.
    virtual std::unique_ptr<platform::GLContext> CreateContext(int format,
                                                               platform::GLContext* shareWith);
};

// The rendering target without a window that shadow depth maps are drawn into. The
// render thread makes one when it starts (none when the renderer has no off-screen
// buffers) and publishes it with SetOffScreenWindow.
//
// The buffer is made at once. A side of 0 asks for the largest the renderer allows;
// larger requests are cut to that. When a size is refused, both sides shrink by a tenth
// (at least by 1) until one is had or a side reaches 0; then there is no buffer
// (HasBuffer false, width and height 0) and the owner should drop the object.
class OffScreenWindow {
public:
    // No buffer.
    OffScreenWindow();
    // Shares display lists with the control's main window.
    OffScreenWindow(uint32_t requestedWidth, uint32_t requestedHeight);
    OffScreenWindow(uint32_t requestedWidth, uint32_t requestedHeight,
                    platform::GLContext* shareWith, OffScreenAllocator& allocator);
    virtual ~OffScreenWindow();
    OffScreenWindow(const OffScreenWindow&) = delete;
    OffScreenWindow& operator=(const OffScreenWindow&) = delete;

    bool HasBuffer() const { return pbuffer != nullptr; }
    // Makes the buffer's context current on the calling thread; false without a buffer
    // or when the context is busy on another thread.
    bool MakeCurrent();

    // Both belong to the object; null without a buffer.
    platform::GLContext* renderingContext = nullptr;
    platform::GLDrawable* deviceContext = nullptr;
    // Size actually obtained, in pixels.
    uint32_t width = 0;
    uint32_t height = 0;
    std::unique_ptr<platform::GLDrawable> pbuffer;

private:
    void Create(uint32_t requestedWidth, uint32_t requestedHeight, platform::GLContext* shareWith,
                OffScreenAllocator& allocator);
    void Release();

    std::unique_ptr<platform::GLContext> context_;
};

// The process's off-screen buffer, or null.
OffScreenWindow* theOffScreenWindow();
void SetOffScreenWindow(OffScreenWindow* buffer);
