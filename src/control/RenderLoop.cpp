#include "control/RenderLoop.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "control/BaseControl.h"
#include "control/SavedViewWindow.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "platform/Clock.h"
#include "platform/GLContext.h"
#include "platform/Window.h"
#include "render/OffScreenWindow.h"
#include "render/OpenGL.h"
#include "render/Window.h"

namespace {

constexpr double kDegraded = 5.0;            // frames per second that allow degraded passes
constexpr double kLowFrameRate = 15.0;       // below this the hint goes out once
constexpr double kWaitScreenEndLevel = 0.1;  // the fade's end steps run when crossing it
constexpr const char kBufferDone[] = "Done";

// Sky dome.
constexpr double kSkyRadius = 3100.0;
constexpr int kSkyBands = 3;
constexpr int kSkySectors = 12;
constexpr double kSkyStep = 30.0;

// Wait screen.
constexpr double kWaitBoxSide = 75.0;
constexpr float kWaitBoxGrey = 0.588f;
constexpr double kWaitTextDistance = 150.0;
constexpr double kWaitTextShadow = 0.15;
constexpr int kWaitTextPoints = 7;
constexpr double kWaitTextSize = 7.0;

constexpr double kRadians = M_PI / 180.0;

void TraceGLErrors(const char* where) {
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        theTrace().WriteFormat("%s GL error %u", where, static_cast<unsigned>(error));
}

bool ContainsRadeon(const char* renderer) {
    return renderer && (std::strstr(renderer, "Radeon") || std::strstr(renderer, "RADEON"));
}

std::string Lowered(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void SetSpotLight(GLenum light, const GLfloat position[4], const GLfloat direction[3]) {
    const GLfloat ambient[] = {0.25f, 0.25f, 0.25f, 0.25f};
    const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 0.5f};
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_SPOT_DIRECTION, direction);
    glLightf(light, GL_SPOT_CUTOFF, 40.0f);
    glEnable(light);
}

// A cube of side `side` around the origin: the four sides as a quad strip, then top and
// bottom.
void DrawBox(double side) {
    const double h = side / 2.0;
    glBegin(GL_QUAD_STRIP);
    const double corners[5][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}, {-h, h}};
    const double normals[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
    for (int i = 0; i < 5; ++i) {
        const double* n = normals[std::min(i, 3)];
        glNormal3d(n[0], 0.0, n[1]);
        glVertex3d(corners[i][0], h, corners[i][1]);
        glVertex3d(corners[i][0], -h, corners[i][1]);
    }
    glEnd();
    glBegin(GL_QUADS);
    glNormal3d(0, 1, 0);
    glVertex3d(-h, h, -h);
    glVertex3d(-h, h, h);
    glVertex3d(h, h, h);
    glVertex3d(h, h, -h);
    glNormal3d(0, -1, 0);
    glVertex3d(-h, -h, -h);
    glVertex3d(h, -h, -h);
    glVertex3d(h, -h, h);
    glVertex3d(-h, -h, h);
    glEnd();
}

}  // namespace

void DrawGradientSky(const BaseControl& control) {
    const GlobalState& global = control.globalState;
    if (global.GetBoolean(17) || global.GetBoolean(9)) return;
    const Vector top = global.GetVector(0);
    const Vector horizon = global.GetVector(1);
    auto ring = [&](double elevation) {
        const double h = std::sin(elevation * kRadians) * kSkyRadius;
        const double t = h / kSkyRadius;
        glColor3d(top.x * t + horizon.x * (1.0 - t), top.y * t + horizon.y * (1.0 - t),
                  top.z * t + horizon.z * (1.0 - t));
    };
    auto vertex = [](double elevation, double azimuth) {
        const double r = std::cos(elevation * kRadians) * kSkyRadius;
        glVertex3d(r * std::cos(azimuth * kRadians), std::sin(elevation * kRadians) * kSkyRadius,
                   r * std::sin(azimuth * kRadians));
    };
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    for (int band = 0; band < kSkyBands; ++band) {
        const double low = band * kSkyStep;
        const double high = low + kSkyStep;
        glBegin(GL_QUAD_STRIP);
        for (int sector = 0; sector <= kSkySectors; ++sector) {
            const double azimuth = sector * kSkyStep;
            ring(high);
            vertex(high, azimuth);
            ring(low);
            vertex(low, azimuth);
        }
        glEnd();
    }
    glPopAttrib();
}

RenderLoop::RenderLoop(BaseControl& control) : control_(control) {}

RenderLoop::~RenderLoop() {
    EndLoop();
}

bool RenderLoop::Run() {
    control_.LockRender();
    const bool started = InitOpenGL();
    control_.UnlockRender();
    if (!started) return false;
    BeginLoop();
    do {
        RunPass();
    } while (BetweenPasses());
    EndLoop();
    return true;
}

bool RenderLoop::InitOpenGL() {
    Window* main = control_.mainWindow;
    if (!PRECONDITION(main != nullptr, "main window is null in render loop")) return false;
    if (platform::IsWindow(main->windowHandle))
        main->OnSize(platform::GetClientRect(main->windowHandle));
    if (!main->deviceContext) {
        // Until its first size arrives a window draws into a buffer of 1 x 1.
        control_.mainDrawable = platform::GLDrawable::CreateForWindow(
            static_cast<int>(main->width), static_cast<int>(main->height), main->windowHandle);
        main->deviceContext = control_.mainDrawable.get();
    }
    control_.currentWindow = main;
    PRECONDITION(main->deviceContext != nullptr, "mainWindow->deviceContext is NULL");
    PRECONDITION(main->windowHandle != platform::kNoWindow, "mainWindow->windowHandle is NULL");
    PRECONDITION(main->height != 0, "mainWindow->height is 0");
    PRECONDITION(main->width != 0, "mainWindow->width is 0");

    InitGLExtensions(&main->windowHandle);
    control_.shadingLevel = ComputeShadingLevel();
    SelectTexCoordFunctions(HasGLExtension(kExtMultitexture));

    platform::PixelFormatDescription description;
    const bool formatSet = HasGLExtension(kExtMultisample)
                               ? theOpenGL.SetMultisamplePixelFormat(main->deviceContext)
                               : theOpenGL.SetPixelFormat(main->deviceContext, &description);
    if (!formatSet) {
        TraceWrite("The main window's pixel format could not be set");
        return false;
    }
    if (!main->renderingContext) {
        control_.mainContext = platform::GLContext::Create(main->deviceContext->PixelFormat());
        main->renderingContext = control_.mainContext.get();
    }
    if (!main->renderingContext || !MakeCurrent(*main)) {
        TraceWrite("The main window's context could not be made current");
        return false;
    }
    control_.currentContextCode = 10;

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    control_.radeonRenderer = ContainsRadeon(renderer) ? 1 : 0;
    if (Lowered(vendor) != "sis") control_.globalState.SetBoolean(28, false);
    theTrace().Write(renderer ? renderer : "");

    GLuint fontList = 0;
    if (BuildBitmapFont("MS Shell Dlg 2", 10, &fontList)) control_.dialogFontList = fontList;
    if (HasGLExtension(kExtVertexProgram)) LoadVertexPrograms();
    main->ReleaseCurrentContext();
    return true;
}

void RenderLoop::BeginLoop() {
    theTrace().Write("OpenGL initialized");
    if (HasGLExtension(kExtPixelBuffer)) {
        control_.LockRender();
        offScreen_ = std::make_unique<OffScreenWindow>(
            static_cast<uint32_t>(std::max(control_.globalState.GetInteger(8), 0)),
            static_cast<uint32_t>(std::max(control_.globalState.GetInteger(9), 0)));
        control_.UnlockRender();
        if (offScreen_->HasBuffer()) {
            SetOffScreenWindow(offScreen_.get());
            theTrace().Write("pBuffer created");
        } else {
            // Without a buffer the lights draw without depth maps, as on a renderer
            // that has none.
            offScreen_.reset();
            theTrace().Write("pBuffer could not be created");
        }
    } else {
        theTrace().Write("pBuffer not supported");
    }
    if (signalReady) signalReady();

    Window* main = control_.mainWindow;
    if (!main) return;
    control_.LockRender();
    if (MakeCurrent(*main)) {
        waitFontMetrics_.assign(128, platform::GlyphMetrics{});
        GLuint list = 0;
        if (BuildOutlineFont("Times New Roman", kWaitTextPoints, &list, waitFontMetrics_.data()))
            waitFontList_ = list;
    }
    control_.UnlockRender();
}

void RenderLoop::EndLoop() {
    Window* main = control_.mainWindow;
    if (waitFontList_ != 0) {
        control_.LockRender();
        if (main && MakeCurrent(*main)) glDeleteLists(waitFontList_, 128);
        control_.UnlockRender();
        waitFontList_ = 0;
    }
    offScreen_.reset();
}

std::vector<Window*> RenderLoop::WindowsToDraw() const {
    std::vector<Window*> windows;
    Window* main = control_.mainWindow;
    LinkedList* list = control_.GetWindowList();
    if (!control_.initialised || !list) {
        if (main) windows.push_back(main);
        return windows;
    }
    for (LinkedListObject* o = list->GetHead(); o; o = o->GetNext())
        if (auto* window = dynamic_cast<Window*>(o)) windows.push_back(window);
    if (main && std::find(windows.begin(), windows.end(), main) == windows.end())
        windows.insert(windows.begin(), main);
    return windows;
}

void RenderLoop::PostToControlWindow(uint32_t message) {
    // The main view draws into the control's window; without one there is nobody to tell.
    Window* main = control_.mainWindow;
    if (main && platform::IsWindow(main->windowHandle))
        platform::PostMessage(main->windowHandle, message);
    else
        theTrace().WriteFormat("No control window for message %u", message);
}

bool RenderLoop::MakeCurrent(Window& window) {
    if (!window.deviceContext || !window.renderingContext) return false;
    // A window without area draws into a buffer of 1 x 1.
    window.deviceContext->Resize(static_cast<int>(std::max(window.width, 1u)),
                                 static_cast<int>(std::max(window.height, 1u)));
    window.Activate();
    return platform::GLContext::Current() == window.renderingContext;
}

void RenderLoop::UpdateQuality(bool& degradedPass, bool saved[2]) {
    double average = 0.0;
    for (double rate : frameRates) average += rate;
    average /= kFrameRateHistory;

    Window* active = control_.activeWindow;
    GlobalState& global = control_.globalState;
    const bool dragging =
        active && active->GetCurrentMode() && active->GetCurrentMode()->IsDragging();
    degradedPass = dragging && (degraded || (global.GetBoolean(22) && average < kDegraded));
    degraded = degradedPass;
    if (degradedPass) {
        saved[0] = global.GetBoolean(12);
        saved[1] = global.GetBoolean(9);
        global.SetBoolean(12, true);
        global.SetBoolean(9, false);
        return;
    }
    const bool dropping = isDropInProgress && isDropInProgress();
    if (control_.lowFrameRateWarningEnabled && !lowFrameRateSent && average > 0.0 &&
        average < kLowFrameRate && control_.initialised && active && !dropping) {
        PostToControlWindow(kLowResourcesMessage);
        lowFrameRateSent = true;
        return;
    }
    std::copy(frameRates + 1, frameRates + kFrameRateHistory, frameRates);
    frameRates[kFrameRateHistory - 1] = control_.frameRate;
}

void RenderLoop::RunPass() {
    // A pass repeats the same steps many times a second: only what goes wrong is logged.
    Trace::QuietSteps quiet;
    ++passCount;
    Window* main = control_.mainWindow;
    if (!PRECONDITION(main != nullptr, "main window is null in render loop")) {
        // The control is going away; wait for its quit request without spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleSleepMs));
        return;
    }

    control_.LockRender();
    if (control_.loadFinished.exchange(false)) {
        control_.ShowMainProgress(false, control_.progressOwner);
        Window* active = control_.activeWindow;
        if (active && active->GetCurrentMode()) active->GetCurrentMode()->SetBusyCursor(false);
        control_.loading = 0;
        control_.passAfterLoad = true;
    }
    LinkedList* windowList = control_.GetWindowList();
    if (windowList) windowList->Lock();
    control_.passStart = platform::QueryCounter();

    if (control_.globalState.GetBoolean(30) && control_.initialised &&
        control_.waitScreenLevel <= 0.0 && !control_.loading) {
        if (sleep)
            sleep(kIdleSleepMs);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(kIdleSleepMs));
    }

    const std::vector<Window*> windows = WindowsToDraw();
    if (!control_.sceneRenderingEnabled) {
        // The frozen image: shown again, or smoothed when that was asked for.
        for (Window* window : windows) {
            control_.currentWindow = window;
            if (window == main && window->antialiasRequest) {
                if (renderAntialiasedFrame) renderAntialiasedFrame(*window);
                continue;
            }
            if (!MakeCurrent(*window)) continue;
            if (window == main) glAccum(GL_RETURN, 1.0f);
            window->deviceContext->SwapBuffers();
            window->ReleaseCurrentContext();
        }
    } else {
        bool degradedPass = false;
        bool saved[2] = {};
        UpdateQuality(degradedPass, saved);

        for (Window* window : windows) {
            control_.currentWindow = window;
            if (!MakeCurrent(*window)) continue;
            if (window == main) {
                // Objects free their OpenGL resources with the main context current.
                control_.deletedObjects.DeleteAll();
                MakeCurrent(*window);
            }
            TraceGLErrors("Start of each window render...");
            if (control_.initialised && control_.waitScreenLevel <= 0.0) {
                window->InitGLState();
                window->SetupProjection(0, 0);
                window->SetupModelView();
                if (renderScene) {
                    renderScene(*window);
                } else {
                    DrawGradientSky(control_);
                    window->CacheMatrices();
                }
            } else {
                window->InitGLState();
                const int32_t mode = main->viewFlags.GetInteger(0);
                main->viewFlags.SetInteger(0, Window::kPerspectiveView);
                main->SetupProjection(0, 0);
                main->viewFlags.BaseParameterState::SetInteger(0, mode);
                glMatrixMode(GL_MODELVIEW);
                glLoadIdentity();
                glRotated(38.0, 1.0, 0.0, 0.0);
                glRotated(595.0, 0.0, 1.0, 0.0);
                glTranslated(-350.0, -400.0, 225.0);
                RenderWaitScreen(*window);
            }
            window->deviceContext->SwapBuffers();
            glFinish();
            window->ReleaseCurrentContext();
        }

        if (degradedPass) {
            control_.globalState.SetBoolean(12, saved[0]);
            control_.globalState.SetBoolean(9, saved[1]);
        }
    }

    control_.passEnd = platform::QueryCounter();
    if (windowList) windowList->Unlock();
    const int64_t elapsed = control_.passEnd - control_.passStart;
    // A pass too short for the counter keeps the last rate.
    if (elapsed > 0 && control_.counterFrequency > 0)
        control_.frameRate = static_cast<double>(control_.counterFrequency) / elapsed;
    control_.UnlockRender();
}

bool RenderLoop::BetweenPasses() {
    for (int take = 0; take < 2; ++take) {
        control_.LockRender();
        // The active window is set by other threads under the lock.
        if (take == 0) control_.currentWindow = control_.activeWindow;
        const bool quit = control_.IsQuitRequested();
        control_.UnlockRender();
        if (quit) return false;
    }
    control_.LockRender();
    control_.UnlockRender();
    return true;
}

void RenderLoop::DrawWaitText(const char* text, double x, double y) {
    if (waitFontList_ == 0 || !text) return;
    glPushMatrix();
    glTranslated(x, y, 0.0);
    glScaled(kWaitTextSize, kWaitTextSize, kWaitTextSize);
    // Four copies, each moved a little, give the text its shadow.
    const double shift = kWaitTextShadow / kWaitTextSize;
    const double moves[4][2] = {{0, 0}, {shift, 0}, {0, -shift}, {-shift, 0}};
    for (const auto& move : moves) {
        glTranslated(move[0], move[1], 0.0);
        glPushMatrix();
        glListBase(waitFontList_);
        glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
        glPopMatrix();
    }
    glPopMatrix();
}

void RenderLoop::RenderWaitScreen(Window& window) {
    Window* main = control_.mainWindow ? control_.mainWindow : &window;
    main->CacheMatrices();
    DrawGradientSky(control_);

    const double level = control_.waitScreenLevel;
    spinAngle += 1.0;
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glPushMatrix();
    // Back from the caller's start view to the eye, then 400 into the screen.
    glTranslated(350.0, 400.0, -225.0);
    glRotated(-595.0, 0.0, 1.0, 0.0);
    glRotated(-38.0, 1.0, 0.0, 0.0);
    glTranslated(0.0, 0.0, -400.0);

    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    const GLfloat position0[] = {200.0f, 0.0f, -200.0f, 1.0f};
    const GLfloat direction0[] = {-0.70711f, 0.0f, 0.70711f};
    const GLfloat position1[] = {200.0f, 0.0f, 200.0f, 1.0f};
    const GLfloat direction1[] = {-0.70711f, 0.0f, -0.70711f};
    SetSpotLight(GL_LIGHT0, position0, direction0);
    SetSpotLight(GL_LIGHT1, position1, direction1);
    if (level < 1.0) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glColor4d(kWaitBoxGrey, kWaitBoxGrey, kWaitBoxGrey, level);
    glPushMatrix();
    glTranslated(15.0, 0.0, 60.0);
    glRotated(spinAngle, 0.0, 1.0, 0.0);
    glRotated(55.0, 0.70711, 0.0, 0.70711);
    DrawBox(kWaitBoxSide);
    glPopMatrix();
    glPopMatrix();

    // The text, unlit, in front of the eye.
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(0.0, 0.0, -kWaitTextDistance);
    const bool transparency = main->viewFlags.GetBoolean(9);
    main->viewFlags.SetBoolean(9, true);
    glColor4d(0.0, 0.0, 0.0, 0.1);
    if (control_.loading) {
        const char* second = control_.loadKind == 0   ? "Press [Esc] to cancel"
                             : control_.loadKind == 3 ? "Merging plan..."
                                                      : "Cancelling file load...";
        const double x = control_.loadKind == 0 ? -10.0 : -6.0;
        glPushMatrix();
        glScaled(0.8, 0.8, 0.8);
        DrawWaitText(second, x, 5.0);
        glPopMatrix();
    }
    DrawWaitText("Please wait...", -20.0, 0.0);
    main->viewFlags.SetBoolean(9, transparency);
    glPopMatrix();
    glPopAttrib();

    FadeWaitScreen();
    control_.progressBar.Draw();
}

void RenderLoop::FadeWaitScreen() {
    if (!control_.initialised || control_.loading) return;
    const double before = control_.waitScreenLevel;
    control_.waitScreenLevel -= kWaitScreenFade;
    // The end of the fade runs once, when the level passes below the mark.
    if (!(before >= kWaitScreenEndLevel && control_.waitScreenLevel < kWaitScreenEndLevel)) return;
    if (!firstFadeDone) {
        firstFadeDone = true;
        control_.PostHostMessage(kFirstFadeCommand);
    }
    Window* main = control_.mainWindow;
    const char* buffered = control_.bufferedFileName;
    if (buffered[0] != '\0' && std::strcmp(buffered, kBufferDone) != 0) {
        PostToControlWindow(kOpenBufferedFileMessage);
    } else {
        if (main) main->InitCameraPresets();
        std::snprintf(control_.bufferedFileName, sizeof control_.bufferedFileName, "%s",
                      kBufferDone);
    }
}

bool BaseControl::RenderLoop() {
    ::RenderLoop loop(*this);
    loop.signalReady = [this] { initEvent.Set(); };
    // Saved views and the map draw their own way (the map adds its navigator).
    loop.renderScene = [](Window& window) {
        if (window.frame)
            window.frame->Draw();
        else
            window.RenderScene(0, 0);
    };
    loop.renderAntialiasedFrame = [](Window& window) { window.RenderAntialiased(); };
    return loop.Run();
}

bool BaseControl::InitOpenGL() {
    return ::RenderLoop(*this).InitOpenGL();
}
