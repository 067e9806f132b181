#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Messages.h"

namespace platform {

// OpenGL rendering contexts. On the display the machine's own OpenGL serves them
// (GLX, hardware where there is some); headless, or where the display has no GLX, the
// software renderer (OSMesa) does, and a window's finished frames are painted into the
// window.
//
// A pixel format is an index (1-based) into the formats this layer offers. A drawable
// is the colour buffer a context renders into: a window's buffer, whose size follows the
// window and which presents its image on `SwapBuffers`, or an off-screen buffer of a
// fixed size. A context is created for a pixel format, optionally sharing display
// lists and textures with another context, and is made current on one thread at a
// time over a drawable of the same format.

// What a caller asks of a pixel format. Bits are minimums; the flags must match.
struct PixelFormatRequest {
    bool drawToWindow = true;
    bool drawToOffScreen = false;
    bool doubleBuffer = true;
    int colorBits = 24;  // red + green + blue
    int alphaBits = 0;
    int accumBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int sampleBuffers = 0;  // multisampling is not offered: any request > 0 finds nothing
    int samples = 0;
};

struct PixelFormatDescription {
    int index = 0;
    bool drawToWindow = false;
    bool drawToOffScreen = false;
    bool supportOpenGL = false;
    bool doubleBuffer = false;
    bool needsPalette = false;
    bool generic = false;      // the software implementation
    bool accelerated = false;  // never with `generic`
    int colorBits = 0;         // red + green + blue
    int redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
    int accumBits = 0;  // all four channels
    int accumRedBits = 0, accumGreenBits = 0, accumBlueBits = 0, accumAlphaBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int sampleBuffers = 0;
    int samples = 0;
    int maxOffScreenWidth = 0;
    int maxOffScreenHeight = 0;
    int maxOffScreenPixels = 0;
};

int PixelFormatCount();
// The best format meeting the request (least surplus of depth, stencil, accumulation
// and alpha bits, in that order of weight), or 0 when none does.
int ChoosePixelFormat(const PixelFormatRequest& request);
// False (and `out` untouched) for an index outside 1..PixelFormatCount().
bool DescribePixelFormat(int index, PixelFormatDescription* out);

class GLContext;

class GLDrawable {
public:
    enum class Kind { Window, OffScreen };

    // A window's buffer. Its pixel format is set later, once, with `SetPixelFormat`.
    // With a window, what is drawn appears in that window's client area on the display;
    // without one (or headless) the frames stay in the buffer.
    static std::unique_ptr<GLDrawable> CreateForWindow(int width, int height,
                                                       WindowHandle window = kNoWindow);
    // An off-screen buffer of a format that can draw off screen. Null when the format
    // cannot, a side is not positive, or the size is beyond the format's maximum.
    static std::unique_ptr<GLDrawable> CreateOffScreen(int pixelFormat, int width, int height);

    // Detaches the calling thread's context when it is current over this drawable. A
    // drawable must not be destroyed while another thread renders into it.
    ~GLDrawable();
    GLDrawable(const GLDrawable&) = delete;
    GLDrawable& operator=(const GLDrawable&) = delete;

    Kind GetKind() const { return kind_; }
    // Sets the format of a window's buffer. A second call succeeds only with the same
    // format; an unknown format or one that cannot draw to a window is refused.
    bool SetPixelFormat(int index);
    int PixelFormat() const;

    // New size of a window's buffer (off-screen buffers keep theirs; sides below 1
    // count as 1). The buffer takes the size when a context is next made current on it.
    void Resize(int width, int height);
    int Width() const;
    int Height() const;

    // Finishes the drawing of the calling thread's context when it is current here.
    // A double-buffered window then presents its image; true when it did.
    bool SwapBuffers();

    // Copies of the rendered image and of the presented one (window, double-buffered
    // format), 4 bytes RGBA per pixel, rows from the bottom. Finish the drawing first.
    // On the display's OpenGL only the thread whose context is current over the
    // drawable can read them (others get nothing).
    std::vector<uint8_t> RenderedPixels() const;
    std::vector<uint8_t> PresentedPixels() const;

private:
    friend class GLContext;
    GLDrawable(Kind kind, int width, int height);

    Kind kind_;
    mutable std::mutex mutex_;
    int pixelFormat_ = 0;
    int width_ = 1, height_ = 1;              // requested
    int bufferWidth_ = 0, bufferHeight_ = 0;  // allocated
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> presented_;
    int presentedWidth_ = 0, presentedHeight_ = 0;
    GLContext* boundContext_ = nullptr;  // the context last made current over it
    WindowHandle window_ = kNoWindow;
    void* native_ = nullptr;  // the display's buffer when its OpenGL serves
};

class GLContext {
public:
    // Null when the format is unknown or the renderer refuses. With `shareWith`, the
    // new context shares display lists and textures with it (and with every context
    // that already shares with it).
    static std::unique_ptr<GLContext> Create(int pixelFormat, GLContext* shareWith = nullptr);
    // Detaches the context from the calling thread first when it is current there. A
    // context must not be destroyed while it is current on another thread.
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    // Makes this context current on the calling thread over `drawable` (replacing the
    // thread's current context). Refused when the context is current on another thread
    // or the drawable's format differs from the context's.
    bool MakeCurrent(GLDrawable& drawable);
    // Detaches whatever context is current on the calling thread (nothing when none).
    static void DetachCurrent();
    // The calling thread's current context, or null.
    static GLContext* Current();
    static GLDrawable* CurrentDrawable();
    // Whether any OpenGL context is current on the calling thread, made current through
    // this layer or not.
    static bool IsAnyCurrent();

    int PixelFormat() const { return pixelFormat_; }

private:
    GLContext(int pixelFormat, void* handle);
    bool Bind(GLDrawable& drawable);

    int pixelFormat_;
    void* handle_;  // the renderer's context
    std::mutex mutex_;
    std::thread::id owner_{};  // thread it is current on; default when none
    GLDrawable* drawable_ = nullptr;
};

// Address of a GL entry point (core or extension), or null when the renderer has none.
// An address alone does not mean the extension is there: test the extension strings.
void* GetGLProcAddress(const char* name);

// The window-system extensions this layer honours, separated by blanks: the extension
// string query itself, pixel formats chosen by attributes and off-screen buffers.
const char* WindowSystemExtensions();

// Logical pixels per inch of the (virtual) screen, for point sizes of fonts.
int LogicalPixelsY();

}  // namespace platform
