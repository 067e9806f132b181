#include "platform/GLContext.h"

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <array>
#include <new>

#include "Display.h"
#include "GlxBackend.h"
#include "platform/Window.h"

namespace platform {

namespace {

// The renderer's largest buffer side.
constexpr int kMaxSide = 16384;

struct DepthStencil {
    int depth;
    int stencil;
};
constexpr std::array<DepthStencil, 4> kDepthStencil = {{{0, 0}, {16, 0}, {24, 0}, {24, 8}}};
constexpr std::array<int, 2> kAccumChannelBits = {0, 16};
constexpr int kFormatCount =
    2 * static_cast<int>(kAccumChannelBits.size()) * static_cast<int>(kDepthStencil.size());

// Formats are numbered double-buffered first, then by accumulation, then by depth and
// stencil: every combination the renderer can build, all RGBA with 8 bits a channel.
PixelFormatDescription MakeDescription(int index) {
    int i = index - 1;
    const DepthStencil ds = kDepthStencil[i % kDepthStencil.size()];
    i /= static_cast<int>(kDepthStencil.size());
    const int accum = kAccumChannelBits[i % kAccumChannelBits.size()];
    i /= static_cast<int>(kAccumChannelBits.size());
    PixelFormatDescription d;
    d.index = index;
    d.drawToWindow = true;
    d.drawToOffScreen = true;
    d.supportOpenGL = true;
    d.doubleBuffer = (i == 0);
    d.generic = true;
    d.accelerated = false;
    d.redBits = d.greenBits = d.blueBits = d.alphaBits = 8;
    d.colorBits = 24;
    d.accumRedBits = d.accumGreenBits = d.accumBlueBits = d.accumAlphaBits = accum;
    d.accumBits = 4 * accum;
    d.depthBits = ds.depth;
    d.stencilBits = ds.stencil;
    d.maxOffScreenWidth = kMaxSide;
    d.maxOffScreenHeight = kMaxSide;
    d.maxOffScreenPixels = kMaxSide * kMaxSide;
    return d;
}

thread_local GLContext* tlsCurrent = nullptr;
thread_local GLDrawable* tlsDrawable = nullptr;

std::mutex& CreationMutex() {
    static std::mutex m;
    return m;
}

// The display's OpenGL serves when there is one; chosen once.
bool UseGlx() {
    static const bool glx = glx::Available();
    return glx;
}

// Rows from the bottom, RGBA, into the window's RGB picture (rows from the top).
void PaintIntoWindow(WindowHandle window, const std::vector<uint8_t>& rgba, int width,
                     int height) {
    if (width <= 0 || height <= 0 || rgba.size() < static_cast<size_t>(width) * height * 4) return;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = rgba.data() + static_cast<size_t>(height - 1 - y) * width * 4;
        uint8_t* to = rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    DrawPixels(window, 0, 0, width, height, rgb.data());
}

}  // namespace

int PixelFormatCount() {
    return UseGlx() ? glx::FormatCount() : kFormatCount;
}

bool DescribePixelFormat(int index, PixelFormatDescription* out) {
    if (!out) return false;
    if (UseGlx()) return glx::Describe(index, out);
    if (index < 1 || index > kFormatCount) return false;
    *out = MakeDescription(index);
    return true;
}

int ChoosePixelFormat(const PixelFormatRequest& r) {
    if (r.sampleBuffers > 0 || r.samples > 1) return 0;
    int best = 0;
    long bestCost = 0;
    const int count = PixelFormatCount();
    for (int i = 1; i <= count; ++i) {
        PixelFormatDescription d;
        if (!DescribePixelFormat(i, &d)) continue;
        if ((r.drawToWindow && !d.drawToWindow) || (r.drawToOffScreen && !d.drawToOffScreen) ||
            r.doubleBuffer != d.doubleBuffer)
            continue;
        if (d.colorBits < r.colorBits || d.alphaBits < r.alphaBits || d.accumBits < r.accumBits ||
            d.depthBits < r.depthBits || d.stencilBits < r.stencilBits)
            continue;
        const long cost = 1000000L * (d.depthBits - r.depthBits) +
                          10000L * (d.stencilBits - r.stencilBits) +
                          100L * (d.accumBits - r.accumBits) + (d.alphaBits - r.alphaBits);
        if (best == 0 || cost < bestCost) {
            best = i;
            bestCost = cost;
        }
    }
    return best;
}

// ---------------------------------------------------------------------------------------

GLDrawable::GLDrawable(Kind kind, int width, int height)
    : kind_(kind), width_(width < 1 ? 1 : width), height_(height < 1 ? 1 : height) {}

std::unique_ptr<GLDrawable> GLDrawable::CreateForWindow(int width, int height,
                                                        WindowHandle window) {
    std::unique_ptr<GLDrawable> drawable(new GLDrawable(Kind::Window, width, height));
    drawable->window_ = window;
    return drawable;
}

std::unique_ptr<GLDrawable> GLDrawable::CreateOffScreen(int pixelFormat, int width, int height) {
    PixelFormatDescription d;
    if (!DescribePixelFormat(pixelFormat, &d) || !d.drawToOffScreen) return nullptr;
    if (width < 1 || height < 1 || width > d.maxOffScreenWidth || height > d.maxOffScreenHeight ||
        static_cast<long long>(width) * height > d.maxOffScreenPixels)
        return nullptr;
    std::unique_ptr<GLDrawable> drawable(new GLDrawable(Kind::OffScreen, width, height));
    drawable->pixelFormat_ = pixelFormat;
    if (UseGlx()) {
        drawable->native_ = glx::CreateOffScreen(pixelFormat, width, height);
        if (!drawable->native_) return nullptr;
        drawable->bufferWidth_ = width;
        drawable->bufferHeight_ = height;
        return drawable;
    }
    try {
        drawable->buffer_.assign(static_cast<size_t>(width) * height * 4, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    drawable->bufferWidth_ = width;
    drawable->bufferHeight_ = height;
    return drawable;
}

GLDrawable::~GLDrawable() {
    if (tlsDrawable == this) GLContext::DetachCurrent();
    glx::Destroy(static_cast<glx::Surface*>(native_));
}

bool GLDrawable::SetPixelFormat(int index) {
    PixelFormatDescription d;
    if (!DescribePixelFormat(index, &d)) return false;
    std::lock_guard<std::mutex> hold(mutex_);
    if (pixelFormat_ != 0) return pixelFormat_ == index;
    if (kind_ != Kind::Window || !d.drawToWindow) return false;
    pixelFormat_ = index;
    if (UseGlx()) native_ = glx::CreateForWindow(index, window_, width_, height_);
    return true;
}

int GLDrawable::PixelFormat() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return pixelFormat_;
}

void GLDrawable::Resize(int width, int height) {
    if (kind_ != Kind::Window) return;
    std::lock_guard<std::mutex> hold(mutex_);
    width_ = width < 1 ? 1 : width;
    height_ = height < 1 ? 1 : height;
    glx::Resize(static_cast<glx::Surface*>(native_), width_, height_);
}

int GLDrawable::Width() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return width_;
}

int GLDrawable::Height() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return height_;
}

bool GLDrawable::SwapBuffers() {
    PixelFormatDescription d;
    const bool presents = kind_ == Kind::Window && DescribePixelFormat(PixelFormat(), &d) &&
                          d.doubleBuffer;
    if (UseGlx()) {
        if (tlsDrawable == this) {
            std::lock_guard<std::mutex> hold(mutex_);
            glx::Swap(static_cast<glx::Surface*>(native_));
        }
        return presents;
    }
    if (tlsDrawable == this) glFinish();
    if (!presents) return false;
    std::vector<uint8_t> frame;
    int width = 0, height = 0;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        presented_ = buffer_;
        presentedWidth_ = bufferWidth_;
        presentedHeight_ = bufferHeight_;
        if (window_ != kNoWindow && display::Active()) {
            frame = presented_;
            width = presentedWidth_;
            height = presentedHeight_;
        }
    }
    // On the display without its OpenGL, the finished frame is painted into the window.
    if (!frame.empty()) PaintIntoWindow(window_, frame, width, height);
    return true;
}

namespace {

// The display's OpenGL keeps its images on the server: read through the context that
// is current over the drawable.
std::vector<uint8_t> ReadCurrent(const GLDrawable& drawable, bool front) {
    if (GLContext::CurrentDrawable() != &drawable) return {};
    GLint viewport[4] = {};
    const int width = drawable.GetKind() == GLDrawable::Kind::Window ? drawable.Width() : 0;
    const int height = drawable.GetKind() == GLDrawable::Kind::Window ? drawable.Height() : 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int w = width > 0 ? width : viewport[2];
    const int h = height > 0 ? height : viewport[3];
    if (w <= 0 || h <= 0) return {};
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    GLint oldBuffer = 0;
    glGetIntegerv(GL_READ_BUFFER, &oldBuffer);
    PixelFormatDescription d;
    DescribePixelFormat(drawable.PixelFormat(), &d);
    glReadBuffer(front || !d.doubleBuffer ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glReadBuffer(static_cast<GLenum>(oldBuffer));
    return pixels;
}

}  // namespace

std::vector<uint8_t> GLDrawable::RenderedPixels() const {
    if (UseGlx()) return ReadCurrent(*this, false);
    std::lock_guard<std::mutex> hold(mutex_);
    return buffer_;
}

std::vector<uint8_t> GLDrawable::PresentedPixels() const {
    if (UseGlx()) return ReadCurrent(*this, true);
    std::lock_guard<std::mutex> hold(mutex_);
    return presented_;
}

// ---------------------------------------------------------------------------------------

GLContext::GLContext(int pixelFormat, void* handle) : pixelFormat_(pixelFormat), handle_(handle) {}

std::unique_ptr<GLContext> GLContext::Create(int pixelFormat, GLContext* shareWith) {
    PixelFormatDescription d;
    if (!DescribePixelFormat(pixelFormat, &d)) return nullptr;
    if (UseGlx()) {
        void* context = glx::CreateContext(pixelFormat, shareWith ? shareWith->handle_ : nullptr);
        if (!context) return nullptr;
        return std::unique_ptr<GLContext>(new GLContext(pixelFormat, context));
    }
    const int attributes[] = {OSMESA_FORMAT,
                              OSMESA_RGBA,
                              OSMESA_DEPTH_BITS,
                              d.depthBits,
                              OSMESA_STENCIL_BITS,
                              d.stencilBits,
                              OSMESA_ACCUM_BITS,
                              d.accumBits,
                              OSMESA_PROFILE,
                              OSMESA_COMPAT_PROFILE,
                              0};
    OSMesaContext handle;
    {
        std::lock_guard<std::mutex> hold(CreationMutex());
        handle = OSMesaCreateContextAttribs(
            attributes, shareWith ? static_cast<OSMesaContext>(shareWith->handle_) : nullptr);
    }
    if (!handle) return nullptr;
    return std::unique_ptr<GLContext>(new GLContext(pixelFormat, handle));
}

GLContext::~GLContext() {
    if (tlsCurrent == this) DetachCurrent();
    std::lock_guard<std::mutex> hold(CreationMutex());
    if (UseGlx())
        glx::DestroyContext(handle_);
    else
        OSMesaDestroyContext(static_cast<OSMesaContext>(handle_));
}

bool GLContext::MakeCurrent(GLDrawable& drawable) {
    const std::thread::id self = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (owner_ != std::thread::id{} && owner_ != self) return false;
        if (drawable.PixelFormat() != pixelFormat_) return false;
    }
    if (tlsCurrent && tlsCurrent != this) DetachCurrent();
    if (tlsCurrent == this && tlsDrawable != &drawable) glFinish();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        owner_ = self;
        drawable_ = &drawable;
    }
    if (!Bind(drawable)) {
        std::lock_guard<std::mutex> hold(mutex_);
        owner_ = std::thread::id{};
        drawable_ = nullptr;
        tlsCurrent = nullptr;
        tlsDrawable = nullptr;
        return false;
    }
    tlsCurrent = this;
    tlsDrawable = &drawable;
    return true;
}

bool GLContext::Bind(GLDrawable& drawable) {
    std::lock_guard<std::mutex> hold(drawable.mutex_);
    if (UseGlx()) {
        drawable.bufferWidth_ = drawable.width_;
        drawable.bufferHeight_ = drawable.height_;
        return glx::MakeCurrent(handle_, static_cast<glx::Surface*>(drawable.native_));
    }
    if (drawable.bufferWidth_ != drawable.width_ || drawable.bufferHeight_ != drawable.height_ ||
        drawable.buffer_.empty()) {
        drawable.buffer_.assign(static_cast<size_t>(drawable.width_) * drawable.height_ * 4, 0);
        drawable.bufferWidth_ = drawable.width_;
        drawable.bufferHeight_ = drawable.height_;
    }
    return OSMesaMakeCurrent(static_cast<OSMesaContext>(handle_), drawable.buffer_.data(),
                             GL_UNSIGNED_BYTE, drawable.bufferWidth_, drawable.bufferHeight_);
}

void GLContext::DetachCurrent() {
    GLContext* current = tlsCurrent;
    if (!current) return;
    glFinish();  // leaves the finished image in the drawable's buffer
    if (UseGlx())
        glx::MakeCurrent(nullptr, nullptr);
    else
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    {
        std::lock_guard<std::mutex> hold(current->mutex_);
        current->owner_ = std::thread::id{};
        current->drawable_ = nullptr;
    }
    tlsCurrent = nullptr;
    tlsDrawable = nullptr;
}

GLContext* GLContext::Current() {
    return tlsCurrent;
}

GLDrawable* GLContext::CurrentDrawable() {
    return tlsDrawable;
}

bool GLContext::IsAnyCurrent() {
    return OSMesaGetCurrentContext() != nullptr || (UseGlx() && glx::IsAnyCurrent());
}

void* GetGLProcAddress(const char* name) {
    if (!name) return nullptr;
    if (UseGlx()) return glx::ProcAddress(name);
    return reinterpret_cast<void*>(OSMesaGetProcAddress(name));
}

const char* WindowSystemExtensions() {
    return "WGL_ARB_extensions_string WGL_ARB_pixel_format WGL_ARB_pbuffer";
}

int LogicalPixelsY() {
    return 96;
}

}  // namespace platform
