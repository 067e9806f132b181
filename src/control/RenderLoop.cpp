#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "control/BaseControl.h"
#include "foundation/Trace.h"
#include "platform/GLContext.h"
#include "platform/Window.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

// Until the views draw their scenes in the pass, a pass lasts a frame's time so that
// the loop does not spin.
constexpr auto kPassTime = std::chrono::milliseconds(16);

std::string GLText(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

}  // namespace

bool BaseControl::InitOpenGL() {
    Window* main = mainWindow;
    if (!PRECONDITION(main != nullptr, "main window is null in render loop")) return false;
    main->OnSize(platform::GetClientRect(main->windowHandle));
    mainDrawable = platform::GLDrawable::CreateForWindow(std::max<int>(main->width, 1),
                                                         std::max<int>(main->height, 1));
    main->deviceContext = mainDrawable.get();
    currentWindow = main;
    PRECONDITION(main->deviceContext != nullptr, "mainWindow->deviceContext is NULL");
    PRECONDITION(main->windowHandle != platform::kNoWindow, "mainWindow->windowHandle is NULL");
    PRECONDITION(main->height != 0, "mainWindow->height is 0");
    PRECONDITION(main->width != 0, "mainWindow->width is 0");
    if (!main->deviceContext) return false;

    InitGLExtensions(&main->windowHandle);
    SelectTexCoordFunctions(HasGLExtension(kExtMultitexture));

    platform::PixelFormatDescription description;
    const bool multisampled =
        HasGLExtension(kExtMultisample) && theOpenGL.SetMultisamplePixelFormat(mainDrawable.get());
    if (!multisampled && !theOpenGL.SetPixelFormat(mainDrawable.get(), &description)) return false;

    mainContext = platform::GLContext::Create(mainDrawable->PixelFormat());
    main->renderingContext = mainContext.get();
    if (!mainContext || !mainContext->MakeCurrent(*mainDrawable)) {
        TraceWrite("The main window's rendering context could not be made current");
        return false;
    }
    currentContextCode = 10;

    std::string vendor = GLText(GL_VENDOR);
    std::transform(vendor.begin(), vendor.end(), vendor.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (vendor != "sis") globalState.SetBoolean(28, false);
    theTrace().Write(GLText(GL_RENDERER).c_str());

    if (HasGLExtension(kExtVertexProgram)) LoadVertexPrograms();
    platform::GLContext::DetachCurrent();
    return true;
}

bool BaseControl::RenderLoop() {
    LockRender();
    const bool started = InitOpenGL();
    UnlockRender();
    if (!started) return false;

    theTrace().Write("OpenGL initialized");
    initEvent.Set();

    for (;;) {
        LockRender();
        if (PRECONDITION(mainWindow != nullptr, "main window is null in render loop")) {
            windowList->Lock();
            Window* main = mainWindow;
            currentWindow = main;
            if (main->renderingContext && main->deviceContext &&
                main->renderingContext->MakeCurrent(*main->deviceContext)) {
                glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                main->deviceContext->SwapBuffers();
                platform::GLContext::DetachCurrent();
            }
            windowList->Unlock();
        }
        UnlockRender();
        std::this_thread::sleep_for(kPassTime);

        // Threads waiting for the render lock get in between passes.
        currentWindow = activeWindow;
        bool quit = false;
        for (int take = 0; take < 3 && !quit; ++take) {
            LockRender();
            if (take < 2) quit = IsQuitRequested();
            UnlockRender();
        }
        if (quit) break;
    }
    return true;
}
