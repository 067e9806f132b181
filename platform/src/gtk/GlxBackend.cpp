#include "../GlxBackend.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

#include "../Display.h"
#include "GtkInternal.h"
// X11's headers come last: their macros clash with names of ours.
#include <GL/gl.h>
#include <GL/glx.h>
#include <GL/glxext.h>

namespace platform::glx {
namespace {

struct Format {
    GLXFBConfig config = nullptr;
    PixelFormatDescription description;
};

struct Glx {
    Display* display = nullptr;
    std::vector<Format> formats;
    PFNGLXCREATECONTEXTATTRIBSARBPROC createAttribs = nullptr;
};

bool IsSoftware(const char* renderer) {
    if (!renderer) return true;
    const std::string r(renderer);
    return r.find("llvmpipe") != std::string::npos || r.find("softpipe") != std::string::npos ||
           r.find("swrast") != std::string::npos || r.find("Software") != std::string::npos;
}

int Attribute(Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

bool SameShape(const PixelFormatDescription& a, const PixelFormatDescription& b) {
    return a.doubleBuffer == b.doubleBuffer && a.alphaBits == b.alphaBits &&
           a.accumRedBits == b.accumRedBits && a.accumAlphaBits == b.accumAlphaBits &&
           a.depthBits == b.depthBits && a.stencilBits == b.stencilBits;
}

// The renderer's name, read once from a context on a small off-screen buffer.
const char* ProbeRenderer(Glx& g) {
    static std::string name;
    if (g.formats.empty()) return nullptr;
    GLXFBConfig config = g.formats.front().config;
    const int attributes[] = {GLX_PBUFFER_WIDTH, 4, GLX_PBUFFER_HEIGHT, 4, None};
    GLXPbuffer buffer = glXCreatePbuffer(g.display, config, attributes);
    GLXContext context = glXCreateNewContext(g.display, config, GLX_RGBA_TYPE, nullptr, True);
    GLXDrawable oldDraw = glXGetCurrentDrawable();
    GLXContext oldContext = glXGetCurrentContext();
    if (buffer && context && glXMakeContextCurrent(g.display, buffer, buffer, context)) {
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        name = renderer ? renderer : "";
        glXMakeContextCurrent(g.display, oldDraw, oldDraw, oldContext);
    }
    if (context) glXDestroyContext(g.display, context);
    if (buffer) glXDestroyPbuffer(g.display, buffer);
    return name.c_str();
}

Glx* Open() {
    if (!display::Active()) return nullptr;
    const char* off = std::getenv("KIVORA_NO_GLX");
    if (off && *off && std::strcmp(off, "0") != 0) return nullptr;
    Display* display = XOpenDisplay(display::DisplayName().c_str());
    if (!display) return nullptr;
    int errorBase = 0, eventBase = 0, major = 0, minor = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase) ||
        !glXQueryVersion(display, &major, &minor) || (major == 1 && minor < 3)) {
        XCloseDisplay(display);
        return nullptr;
    }
    display::SetQuietConnection(display);
    auto* g = new Glx;
    g->display = display;
    const int screen = DefaultScreen(display);
    const int depth = DefaultDepth(display, screen);
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    for (int i = 0; i < count; ++i) {
        GLXFBConfig c = configs[i];
        const int drawables = Attribute(display, c, GLX_DRAWABLE_TYPE);
        if (!(Attribute(display, c, GLX_RENDER_TYPE) & GLX_RGBA_BIT) ||
            (drawables & (GLX_WINDOW_BIT | GLX_PBUFFER_BIT)) != (GLX_WINDOW_BIT | GLX_PBUFFER_BIT) ||
            !Attribute(display, c, GLX_X_RENDERABLE) || !Attribute(display, c, GLX_VISUAL_ID) ||
            Attribute(display, c, GLX_RED_SIZE) != 8 || Attribute(display, c, GLX_GREEN_SIZE) != 8 ||
            Attribute(display, c, GLX_BLUE_SIZE) != 8 ||
            Attribute(display, c, GLX_SAMPLE_BUFFERS) != 0 || Attribute(display, c, GLX_STEREO) ||
            Attribute(display, c, GLX_LEVEL) != 0 ||
            Attribute(display, c, GLX_CONFIG_CAVEAT) == GLX_NON_CONFORMANT_CONFIG)
            continue;
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, c);
        const bool sameDepth = visual && visual->depth == depth;
        if (visual) XFree(visual);
        if (!sameDepth) continue;
        PixelFormatDescription d;
        d.drawToWindow = true;
        d.drawToOffScreen = true;
        d.supportOpenGL = true;
        d.doubleBuffer = Attribute(display, c, GLX_DOUBLEBUFFER) != 0;
        d.redBits = d.greenBits = d.blueBits = 8;
        d.colorBits = 24;
        d.alphaBits = Attribute(display, c, GLX_ALPHA_SIZE);
        d.accumRedBits = Attribute(display, c, GLX_ACCUM_RED_SIZE);
        d.accumGreenBits = Attribute(display, c, GLX_ACCUM_GREEN_SIZE);
        d.accumBlueBits = Attribute(display, c, GLX_ACCUM_BLUE_SIZE);
        d.accumAlphaBits = Attribute(display, c, GLX_ACCUM_ALPHA_SIZE);
        d.accumBits = d.accumRedBits + d.accumGreenBits + d.accumBlueBits + d.accumAlphaBits;
        d.depthBits = Attribute(display, c, GLX_DEPTH_SIZE);
        d.stencilBits = Attribute(display, c, GLX_STENCIL_SIZE);
        d.maxOffScreenWidth = Attribute(display, c, GLX_MAX_PBUFFER_WIDTH);
        d.maxOffScreenHeight = Attribute(display, c, GLX_MAX_PBUFFER_HEIGHT);
        d.maxOffScreenPixels = Attribute(display, c, GLX_MAX_PBUFFER_PIXELS);
        // Some servers (a software X server's GLX among them) leave the pixel count at 0
        // while they make buffers up to the largest sides: the sides are the limit then.
        if (d.maxOffScreenPixels <= 0 && d.maxOffScreenWidth > 0 && d.maxOffScreenHeight > 0)
            d.maxOffScreenPixels = static_cast<int>(std::min<long long>(
                static_cast<long long>(d.maxOffScreenWidth) * d.maxOffScreenHeight,
                std::numeric_limits<int>::max()));
        bool seen = false;
        for (const Format& f : g->formats) seen = seen || SameShape(f.description, d);
        if (seen) continue;
        d.index = static_cast<int>(g->formats.size()) + 1;
        g->formats.push_back(Format{c, d});
    }
    if (configs) XFree(configs);
    if (g->formats.empty()) {
        display::SetQuietConnection(nullptr);
        XCloseDisplay(display);
        delete g;
        return nullptr;
    }
    g->createAttribs = reinterpret_cast<PFNGLXCREATECONTEXTATTRIBSARBPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCreateContextAttribsARB")));
    // Software GLX (Mesa's llvmpipe) is the generic implementation, not an accelerated one.
    const bool software = IsSoftware(ProbeRenderer(*g));
    for (Format& f : g->formats) {
        f.description.generic = software;
        f.description.accelerated = !software;
    }
    return g;
}

Glx* Get() {
    static Glx* glx = Open();
    return glx;
}

const Format* FormatAt(int index) {
    Glx* g = Get();
    if (!g || index < 1 || index > static_cast<int>(g->formats.size())) return nullptr;
    return &g->formats[static_cast<size_t>(index - 1)];
}

// Errors on the GL connection are quiet: a call's failure shows as a change of the
// count once the server has answered.
bool ServerAccepted(Display* display, int errorsBefore) {
    XSync(display, False);
    return display::QuietErrorCount() == errorsBefore;
}

}  // namespace

struct Surface {
    const Format* format = nullptr;
    WindowHandle window = kNoWindow;
    int width = 1;
    int height = 1;
    GLXPbuffer pbuffer = 0;        // an off-screen buffer, or the window's stand-in
    unsigned long parentXid = 0;   // the top-level X window the client area shows in
    Window child = 0;              // our X window over the client area
    GLXWindow glxWindow = 0;
    int childX = 0, childY = 0, childWidth = 0, childHeight = 0;
    bool childMapped = false;
    Colormap colormap = 0;
};

namespace {

GLXPbuffer MakePbuffer(Display* display, const Format& f, int width, int height) {
    const int attributes[] = {GLX_PBUFFER_WIDTH,      width, GLX_PBUFFER_HEIGHT, height,
                              GLX_PRESERVED_CONTENTS, True,  GLX_LARGEST_PBUFFER, False,
                              None};
    const int before = display::QuietErrorCount();
    GLXPbuffer buffer = glXCreatePbuffer(display, f.config, attributes);
    if (!ServerAccepted(display, before)) return 0;
    return buffer;
}

void DropChild(Display* display, Surface& s) {
    if (s.glxWindow) glXDestroyWindow(display, s.glxWindow);
    // The X window is gone already when its parent went; the error is quiet then.
    if (s.child) XDestroyWindow(display, s.child);
    if (s.colormap) XFreeColormap(display, s.colormap);
    s.glxWindow = 0;
    s.child = 0;
    s.colormap = 0;
    s.parentXid = 0;
    XSync(display, False);
}

// Brings the window's buffer up to date with the window: an X window of its own over
// the client area, made once the area is on the screen, made again when the area moved
// to another top-level window, dropped when the window went, and kept at the area's
// place, size and visibility.
void Follow(Display* display, Surface& s) {
    if (s.window == kNoWindow) return;
    display::NativePlace place;
    const unsigned long parent =
        display::NativePlacement(s.window, &place) ? place.topWindow : 0;
    if (s.child && parent != s.parentXid) DropChild(display, s);
    if (!s.child && parent) {
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, s.format->config);
        if (!visual) return;
        const int before = display::QuietErrorCount();
        XSetWindowAttributes attributes{};
        s.colormap = XCreateColormap(display, RootWindow(display, visual->screen),
                                     visual->visual, AllocNone);
        attributes.colormap = s.colormap;
        attributes.border_pixel = 0;
        attributes.background_pixmap = None;
        // No events of its own: the pointer and keys go to the client area around it.
        attributes.event_mask = 0;
        s.child = XCreateWindow(display, parent, place.x, place.y, static_cast<unsigned>(s.width),
                                static_cast<unsigned>(s.height), 0, visual->depth, InputOutput,
                                visual->visual,
                                CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask,
                                &attributes);
        XFree(visual);
        if (place.mapped) XMapWindow(display, s.child);
        s.glxWindow = glXCreateWindow(display, s.format->config, s.child, nullptr);
        s.parentXid = parent;
        s.childX = place.x;
        s.childY = place.y;
        s.childWidth = s.width;
        s.childHeight = s.height;
        s.childMapped = place.mapped;
        if (!ServerAccepted(display, before)) DropChild(display, s);
        return;
    }
    if (!s.child) return;
    bool changed = false;
    if (s.childX != place.x || s.childY != place.y || s.childWidth != s.width ||
        s.childHeight != s.height) {
        XMoveResizeWindow(display, s.child, place.x, place.y, static_cast<unsigned>(s.width),
                          static_cast<unsigned>(s.height));
        s.childX = place.x;
        s.childY = place.y;
        s.childWidth = s.width;
        s.childHeight = s.height;
        changed = true;
    }
    if (s.childMapped != place.mapped) {
        if (place.mapped)
            XMapRaised(display, s.child);
        else
            XUnmapWindow(display, s.child);
        s.childMapped = place.mapped;
        changed = true;
    }
    if (changed) XSync(display, False);
}

}  // namespace

bool Available() {
    return Get() != nullptr;
}

int FormatCount() {
    Glx* g = Get();
    return g ? static_cast<int>(g->formats.size()) : 0;
}

bool Describe(int index, PixelFormatDescription* out) {
    const Format* f = FormatAt(index);
    if (!f || !out) return false;
    *out = f->description;
    return true;
}

void* CreateContext(int format, void* share) {
    const Format* f = FormatAt(format);
    Glx* g = Get();
    if (!f) return nullptr;
    const int before = display::QuietErrorCount();
    GLXContext context = nullptr;
    if (g->createAttribs) {
        const int attributes[] = {GLX_CONTEXT_PROFILE_MASK_ARB,
                                  GLX_CONTEXT_COMPATIBILITY_PROFILE_BIT_ARB, None};
        context = g->createAttribs(g->display, f->config, static_cast<GLXContext>(share), True,
                                   attributes);
    }
    if (!context)
        context = glXCreateNewContext(g->display, f->config, GLX_RGBA_TYPE,
                                      static_cast<GLXContext>(share), True);
    if (!ServerAccepted(g->display, before) && context) {
        glXDestroyContext(g->display, context);
        return nullptr;
    }
    return context;
}

void DestroyContext(void* context) {
    if (Glx* g = Get(); g && context) glXDestroyContext(g->display, static_cast<GLXContext>(context));
}

Surface* CreateOffScreen(int format, int width, int height) {
    const Format* f = FormatAt(format);
    if (!f) return nullptr;
    GLXPbuffer buffer = MakePbuffer(Get()->display, *f, width, height);
    if (!buffer) return nullptr;
    auto* s = new Surface;
    s->format = f;
    s->width = width;
    s->height = height;
    s->pbuffer = buffer;
    return s;
}

Surface* CreateForWindow(int format, WindowHandle window, int width, int height) {
    const Format* f = FormatAt(format);
    if (!f) return nullptr;
    auto* s = new Surface;
    s->format = f;
    s->window = window;
    s->width = width < 1 ? 1 : width;
    s->height = height < 1 ? 1 : height;
    return s;
}

void Resize(Surface* surface, int width, int height) {
    if (!surface) return;
    surface->width = width < 1 ? 1 : width;
    surface->height = height < 1 ? 1 : height;
}

void Destroy(Surface* surface) {
    if (!surface) return;
    Display* display = Get()->display;
    DropChild(display, *surface);
    if (surface->pbuffer) glXDestroyPbuffer(display, surface->pbuffer);
    XSync(display, False);
    delete surface;
}

bool MakeCurrent(void* context, Surface* surface) {
    Glx* g = Get();
    if (!g) return false;
    if (!context || !surface) return glXMakeContextCurrent(g->display, None, None, nullptr);
    Follow(g->display, *surface);
    GLXDrawable drawable = surface->glxWindow;
    if (!drawable) {
        if (!surface->pbuffer) surface->pbuffer = MakePbuffer(g->display, *surface->format, 16, 16);
        drawable = surface->pbuffer;
    }
    if (!drawable) return false;
    const int before = display::QuietErrorCount();
    const bool made = glXMakeContextCurrent(g->display, drawable, drawable,
                                            static_cast<GLXContext>(context));
    return made && display::QuietErrorCount() == before;
}

void Swap(Surface* surface) {
    Glx* g = Get();
    if (!g || !surface) return;
    if (surface->glxWindow && surface->format->description.doubleBuffer) {
        glXSwapBuffers(g->display, surface->glxWindow);
    } else {
        glFlush();
    }
}

bool IsAnyCurrent() {
    return Get() && glXGetCurrentContext() != nullptr;
}

void* ProcAddress(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

bool OnScreen(Surface* surface) {
    return surface && surface->glxWindow != 0;
}

}  // namespace platform::glx
