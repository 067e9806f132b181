// One frame of a lit scene in a window on the X display, drawn two ways in one run:
// through the display's OpenGL (GLX, the layer's window drawable, presented by a swap)
// and on the software renderer (OSMesa) with the finished frame painted into the window,
// as the layer does where GLX is missing. Each iteration times both; "ratio" is
// GLX / OSMesa-painted. Needs a display (DISPLAY set; Xvfb will do).
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/osmesa.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/GLContext.h"
#include "platform/Window.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A lit field of spheres with depth testing: the same calls for both renderers.
void DrawScene(GLUquadric* quadric) {
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0.3f, 0.5f, 0.8f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat light[] = {1.0f, 2.0f, 3.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(kWidth) / kHeight, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0, 0, -20);
    for (int y = -3; y <= 3; ++y) {
        for (int x = -4; x <= 4; ++x) {
            glPushMatrix();
            glTranslated(x * 2.2, y * 2.2, 0);
            gluSphere(quadric, 1.0, 48, 24);
            glPopMatrix();
        }
    }
}

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* headless = std::getenv("KIVORA_HEADLESS");
    return display && *display && !(headless && *headless && std::string(headless) != "0");
}

platform::WindowHandle ShowWindow(const char* caption) {
    platform::WindowCreateInfo info;
    info.caption = caption;
    info.width = kWidth;
    info.height = kHeight;
    info.show = platform::ShowState::Normal;
    const platform::WindowHandle window = platform::CreateWindow(info);
    const auto end = Clock::now() + std::chrono::milliseconds(500);
    while (Clock::now() < end) {
        platform::PumpUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return window;
}

void GlxAgainstOsmesaPainted(benchmark::State& state) {
    if (!HaveDisplay()) {
        state.SkipWithError("no X display");
        return;
    }
    // Through the layer: GLX on the display.
    const platform::WindowHandle glxWindow = ShowWindow("GLX frame");
    platform::PixelFormatRequest request;
    request.depthBits = 24;
    const int format = platform::ChoosePixelFormat(request);
    auto drawable = platform::GLDrawable::CreateForWindow(kWidth, kHeight, glxWindow);
    if (!format || !drawable->SetPixelFormat(format)) {
        state.SkipWithError("no pixel format");
        return;
    }
    auto context = platform::GLContext::Create(format);
    if (!context || !context->MakeCurrent(*drawable)) {
        state.SkipWithError("no GL context");
        return;
    }
    if (!platform::GetGLProcAddress("glXCreateContextAttribsARB")) {
        state.SkipWithError("the display has no GLX: both sides would be OSMesa");
        return;
    }
    GLUquadric* glxQuadric = gluNewQuadric();
    platform::GLContext::DetachCurrent();

    // The reference: OSMesa, painted into a window of its own.
    const platform::WindowHandle paintedWindow = ShowWindow("OSMesa frame");
    std::vector<uint8_t> buffer(size_t(kWidth) * kHeight * 4);
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    OSMesaContext osmesa = OSMesaCreateContextExt(OSMESA_RGBA, 24, 8, 0, nullptr);
    OSMesaMakeCurrent(osmesa, buffer.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
    GLUquadric* osQuadric = gluNewQuadric();
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);

    double glxSeconds = 0, osmesaSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        context->MakeCurrent(*drawable);
        DrawScene(glxQuadric);
        drawable->SwapBuffers();
        glFinish();
        platform::GLContext::DetachCurrent();
        glxSeconds += std::chrono::duration<double>(Clock::now() - start).count();

        start = Clock::now();
        OSMesaMakeCurrent(osmesa, buffer.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
        DrawScene(osQuadric);
        glFinish();
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* from = buffer.data() + size_t(kHeight - 1 - y) * kWidth * 4;
            uint8_t* to = rgb.data() + size_t(y) * kWidth * 3;
            for (int x = 0; x < kWidth; ++x, from += 4, to += 3) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
        platform::DrawPixels(paintedWindow, 0, 0, kWidth, kHeight, rgb.data());
        platform::PumpUntilIdle();  // the paint reaches the screen
        osmesaSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["glx_ms"] = benchmark::Counter(glxSeconds * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["osmesa_painted_ms"] =
        benchmark::Counter(osmesaSeconds * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = osmesaSeconds > 0 ? glxSeconds / osmesaSeconds : 0;

    context->MakeCurrent(*drawable);
    gluDeleteQuadric(glxQuadric);
    platform::GLContext::DetachCurrent();
    OSMesaMakeCurrent(osmesa, buffer.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
    gluDeleteQuadric(osQuadric);
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    OSMesaDestroyContext(osmesa);
    context.reset();
    drawable.reset();
    platform::DestroyWindow(glxWindow);
    platform::DestroyWindow(paintedWindow);
}

BENCHMARK(GlxAgainstOsmesaPainted)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
