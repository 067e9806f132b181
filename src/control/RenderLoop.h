#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/GLFont.h"
#include "platform/Messages.h"

class BaseControl;
class OffScreenWindow;
class Window;

namespace platform {
class GLContext;
class GLDrawable;
}  // namespace platform

// The render thread's loop: OpenGL start-up on the main view, then pass after pass over
// every view window under the render lock, with the wait screen while the control is
// busy, degraded passes while dragging at a low frame rate and a one-time hint when the
// machine is too slow. There is no redraw request: the next pass shows every change.
//
// Run() is the whole loop. The steps are public so that a test can drive them one at a
// time on its own thread:
//
//   RenderLoop loop(control);
//   loop.InitOpenGL();  loop.BeginLoop();
//   loop.RunPass();     // as often as wanted
//   loop.BetweenPasses();  // false once the control asked the loop to end
//   loop.EndLoop();
//
// The loop ends on the control's quit request (BaseControl::StopRenderThread), which is
// written and read under the render lock.
class RenderLoop {
public:
    static constexpr int kFrameRateHistory = 5;
    // Posted to the control's window: the low-frame-rate hint, and the plan name that
    // waited for the wait screen to end.
    static constexpr uint32_t kLowResourcesMessage = platform::WM_USER + 4;
    static constexpr uint32_t kOpenBufferedFileMessage = platform::WM_USER + 5;
    // Goes to the host once, when the first wait screen has faded.
    static constexpr uint32_t kFirstFadeCommand = 25352;
    static constexpr uint32_t kIdleSleepMs = 100;
    static constexpr double kWaitScreenFade = 0.025;

    explicit RenderLoop(BaseControl& control);
    // Frees what EndLoop frees. The main window's buffer and context stay with the
    // control (BaseControl::mainDrawable, mainContext).
    ~RenderLoop();
    RenderLoop(const RenderLoop&) = delete;
    RenderLoop& operator=(const RenderLoop&) = delete;

    // False when OpenGL could not be started; true after the quit request. The control's
    // render thread runs it through BaseControl::RenderLoop, whose ready signal is the
    // control's "Init" event.
    bool Run();

    // Start-up on the main window (call it with the render lock held): its size from the
    // control's window, its buffer, pixel format and context (unless it has them; new
    // ones belong to the control), the extension probe and shading
    // level, the renderer checks, the dialog font and vertex programs. Leaves no
    // context current. False when the window or its format or context cannot be had.
    bool InitOpenGL();
    // The off-screen buffer (when the renderer has them), the ready signal and the
    // wait-screen text.
    void BeginLoop();
    // One pass over the windows.
    void RunPass();
    // Takes and releases the render lock three times so that waiting threads get in;
    // false when a quit request was seen.
    bool BetweenPasses();
    // Frees the wait-screen text and the off-screen buffer.
    void EndLoop();

    // The wait screen of the main window's pass (also drawn by every other window
    // while the control is busy): sky, spinning box, the text and the fade.
    void RenderWaitScreen(Window& window);

    // Called once the loop is ready to draw (the control's "Init" event).
    std::function<void()> signalReady;
    // A window's scene pass; without one the window shows its gradient sky.
    std::function<void(Window&)> renderScene;
    // The smoothed frame of the main window; without one the last image stays.
    std::function<void(Window&)> renderAntialiasedFrame;
    // Whether the active window has a drag-and-drop command in progress.
    std::function<bool()> isDropInProgress;
    // The idle sleep, with the render lock held.
    std::function<void(uint32_t milliseconds)> sleep;

    // Frame rates of the last five normal passes, oldest first.
    double frameRates[kFrameRateHistory] = {};
    // The pass before was degraded.
    bool degraded = false;
    bool lowFrameRateSent = false;
    double spinAngle = 0.0;
    bool firstFadeDone = false;
    // Passes begun so far (read by other threads).
    std::atomic<uint64_t> passCount{0};

private:
    std::vector<Window*> WindowsToDraw() const;
    bool MakeCurrent(Window& window);
    void UpdateQuality(bool& degradedPass, bool saved[2]);
    void DrawWaitText(const char* text, double x, double y);
    void FadeWaitScreen();
    void PostToControlWindow(uint32_t message);

    BaseControl& control_;
    std::unique_ptr<OffScreenWindow> offScreen_;
    unsigned waitFontList_ = 0;
    std::vector<platform::GlyphMetrics> waitFontMetrics_;
};

// The sky dome behind the scene: a half sphere shaded from the horizon colour
// (GlobalState vector 1) to the top colour (vector 0). Nothing during a light pass or
// with reflections on.
void DrawGradientSky(const BaseControl& control);
