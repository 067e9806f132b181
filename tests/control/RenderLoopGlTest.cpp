#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "control/RenderLoop.h"
#include "interaction/MouseHandler.h"
#include "platform/Clock.h"
#include "platform/GLContext.h"
#include "platform/Window.h"
#include "render/Window.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

// A mode whose drag state a test sets, and that notes the busy cursor.
struct TestMode : MouseHandler {
    void Drag(bool on) { SetDragging(on); }
    void SetBusyCursor(bool busy) override { busyCalls.push_back(busy); }
    std::vector<bool> busyCalls;
};

// Notes whether an OpenGL context was current when it was destroyed.
struct DeletedObject : LinkedListObject {
    explicit DeletedObject(bool& sawContext) : sawContext(sawContext) {}
    ~DeletedObject() override { sawContext = platform::GLContext::IsAnyCurrent(); }
    bool& sawContext;
};

// The control's main view over a window of the test thread, which records what is
// posted to it.
class RenderLoopGlTest : public ::testing::Test {
protected:
    RenderLoopGlTest() {
        platform::WindowCreateInfo info;
        info.width = 64;
        info.height = 48;
        info.proc = [this](platform::WindowHandle w, uint32_t message, platform::WParam wp,
                           platform::LParam lp) -> platform::LResult {
            if (message >= platform::WM_USER) posted.push_back(message);
            return platform::DefaultWindowProc(w, message, wp, lp);
        };
        handle = platform::CreateWindow(info);
        main = new Window([this](int n) -> MouseHandler* {
            auto* mode = new TestMode;
            if (n == 0) mode0 = mode;
            return mode;
        });
        main->windowHandle = handle;
        control.GetWindowList()->Append(main);
        control.mainWindow = control.activeWindow = main;
        control.globalState.SetVector(0, Vector(0, 0, 1));  // sky top
        control.globalState.SetVector(1, Vector(1, 0, 0));  // horizon
        loop.sleep = [this](uint32_t ms) {
            sleeps.push_back(ms);
            sleptUnderLock = control.RenderLock().IsHeldByCurrentThread();
        };
    }
    ~RenderLoopGlTest() override { platform::DestroyWindow(handle); }

    // A running control showing its scene.
    void Running() {
        control.initialised = 1;
        control.waitScreenLevel = 0.0;
    }
    void Start() {
        ASSERT_TRUE(loop.InitOpenGL());
        loop.BeginLoop();
    }
    std::vector<uint32_t> Posted() {
        platform::PumpUntilIdle();
        return posted;
    }
    std::array<uint8_t, 4> Presented(int x, int y) const {
        const auto pixels = main->deviceContext->PresentedPixels();
        const size_t at = (static_cast<size_t>(y) * main->width + x) * 4;
        if (at + 3 >= pixels.size()) return {};
        return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    platform::WindowHandle handle{};
    Window* main = nullptr;
    TestMode* mode0 = nullptr;
    std::vector<uint32_t> posted;
    std::vector<uint32_t> sleeps;
    bool sleptUnderLock = false;
    RenderLoop loop{control};
};

TEST_F(RenderLoopGlTest, LoopStartsSignalsReadyDrawsAndStopsWhenAsked) {
    std::mutex m;
    std::condition_variable cv;
    bool ready = false;
    loop.signalReady = [&] {
        std::lock_guard<std::mutex> hold(m);
        ready = true;
        cv.notify_all();
    };
    std::atomic<bool> result{false};
    ASSERT_TRUE(control.StartRenderThread([&] { result = loop.Run(); }));
    {
        std::unique_lock<std::mutex> hold(m);
        ASSERT_TRUE(cv.wait_for(hold, std::chrono::seconds(10), [&] { return ready; }));
    }
    for (int i = 0; i < 1000 && loop.passCount < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(loop.passCount, 3u);
    ASSERT_TRUE(control.StopRenderThread());
    EXPECT_TRUE(result);
    const uint64_t passes = loop.passCount;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(loop.passCount, passes);

    // The wait screen: a spinning box on the workspace colour.
    EXPECT_EQ(main->width, 64u);
    const auto corner = Presented(1, 1);
    bool boxSeen = false;
    for (int y = 0; y < 48; ++y)
        if (std::abs(Presented(32, y)[0] - corner[0]) > 8) boxSeen = true;
    EXPECT_TRUE(boxSeen);
    EXPECT_GT(control.frameRate, 0.0);
    EXPECT_TRUE(std::isfinite(control.frameRate));
}

TEST_F(RenderLoopGlTest, IdlePassesOfARunningControlAddNothingToTheLog) {
    Start();
    Running();
    loop.renderScene = [](Window& window) { window.RenderScene(0, 0); };
    TraceLogTail log;
    // The first pass after a line marks the log's end for a crash, once.
    loop.RunPass();
    ASSERT_TRUE(loop.BetweenPasses());
    const std::string marked = log.Text();
    ASSERT_LE(marked.size(), 1u);
    struct stat before {};
    ASSERT_EQ(stat(theTrace().TracePath(), &before), 0);
    for (int i = 0; i < 5; ++i) {
        loop.RunPass();
        ASSERT_TRUE(loop.BetweenPasses());
    }
    EXPECT_EQ(log.Text(), marked);
    struct stat after {};
    ASSERT_EQ(stat(theTrace().TracePath(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << "not even the crash mark";

    // The same set-up taken outside a pass (a pick, a teardown) is still logged.
    main->SetupProjection(0, 0);
    EXPECT_TRUE(log.Contains(" Start of SetupProjection... "));
}

TEST_F(RenderLoopGlTest, RunningControlShowsTheGradientSkyAndSleepsWhenIdle) {
    Start();
    Running();
    main->camera.SetVector(0, Vector(0, -10, 0));
    main->camera.SetVector(1, Vector(-60, 0, 0));  // looking up
    control.globalState.SetBoolean(30, true);
    loop.RunPass();
    EXPECT_EQ(sleeps, std::vector<uint32_t>{RenderLoop::kIdleSleepMs});
    EXPECT_TRUE(sleptUnderLock);
    const auto top = Presented(32, 47), low = Presented(32, 0);
    EXPECT_GT(top[2], top[0]);  // bluer towards the top
    EXPECT_GT(low[0], top[0]);

    // No sleep while loading or while the wait screen shows, nor without the setting.
    control.loading = 1;
    loop.RunPass();
    control.loading = 0;
    control.waitScreenLevel = 0.5;
    loop.RunPass();
    Running();
    control.globalState.SetBoolean(30, false);
    loop.RunPass();
    EXPECT_EQ(sleeps.size(), 1u);
}

TEST_F(RenderLoopGlTest, FrameRateHistoryDegradesDragsAndHintsOnceWhenSlow) {
    Start();
    Running();
    GlobalState& global = control.globalState;
    global.SetBoolean(12, false);
    global.SetBoolean(9, true);
    std::vector<std::pair<bool, bool>> seen;  // booleans 12 and 9 while drawing
    loop.renderScene = [&](Window&) {
        seen.emplace_back(global.GetBoolean(12), global.GetBoolean(9));
    };
    auto history = [&](double rate) { std::fill(loop.frameRates, loop.frameRates + 5, rate); };

    // All zero: no hint; the history takes the last rate.
    control.frameRate = 7.0;
    loop.RunPass();
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(loop.frameRates[4], 7.0);
    EXPECT_EQ(loop.frameRates[3], 0.0);

    // Dragging at 4 frames a second with degraded drawing allowed: lights and
    // reflections off for that pass only, and the history stands still.
    history(4.0);
    global.SetBoolean(22, true);
    mode0->Drag(true);
    loop.RunPass();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], std::make_pair(true, false));
    EXPECT_FALSE(global.GetBoolean(12));
    EXPECT_TRUE(global.GetBoolean(9));
    EXPECT_EQ(loop.frameRates[4], 4.0);
    // Once degraded, a drag stays degraded.
    global.SetBoolean(22, false);
    loop.RunPass();
    EXPECT_EQ(seen[2], std::make_pair(true, false));
    EXPECT_TRUE(Posted().empty());

    // The drag ends; below 15 the hint goes out once, and then the history moves on.
    mode0->Drag(false);
    history(10.0);
    loop.RunPass();
    loop.RunPass();
    EXPECT_EQ(Posted(), std::vector<uint32_t>{RenderLoop::kLowResourcesMessage});
    EXPECT_EQ(seen[3], std::make_pair(false, true));
}

TEST_F(RenderLoopGlTest, PassTimeOfZeroKeepsTheLastFrameRate) {
    Start();
    platform::ManualCounter counter;
    control.counterFrequency = platform::QueryFrequency();
    control.frameRate = 12.5;
    loop.RunPass();
    EXPECT_EQ(control.frameRate, 12.5);
}

TEST_F(RenderLoopGlTest, FadingWaitScreenEndsOnceAndOpensAWaitingPlan) {
    Start();
    control.lowFrameRateWarningEnabled = 0;  // passes are slow in this build
    control.initialised = 1;
    control.waitScreenLevel = 0.2;
    main->camera.SetVector(0, Vector(1, 2, 3));
    for (int i = 0; i < 12; ++i) loop.RunPass();
    EXPECT_LE(control.waitScreenLevel, 0.0);
    EXPECT_EQ(control.hostMessages, std::vector<uint32_t>{RenderLoop::kFirstFadeCommand});
    EXPECT_STREQ(control.bufferedFileName, "Done");
    EXPECT_EQ(main->camera.GetVector(0).x, -350.0);  // the start view
    EXPECT_TRUE(Posted().empty());

    std::snprintf(control.bufferedFileName, sizeof control.bufferedFileName, "%s", "plan.kvp");
    control.waitScreenLevel = 0.2;
    for (int i = 0; i < 12; ++i) loop.RunPass();
    EXPECT_EQ(control.hostMessages.size(), 1u);
    EXPECT_EQ(Posted(), std::vector<uint32_t>{RenderLoop::kOpenBufferedFileMessage});
    EXPECT_STREQ(control.bufferedFileName, "plan.kvp");

    // While a plan loads, the wait screen stays.
    control.loading = 1;
    control.waitScreenLevel = 1.0;
    loop.RunPass();
    EXPECT_EQ(control.waitScreenLevel, 1.0);
}

TEST_F(RenderLoopGlTest, FinishedLoadAndDeletedObjectsAreHandledInThePass) {
    Start();
    bool sawContext = false;
    control.deletedObjects.Append(new DeletedObject(sawContext));
    control.loading = 1;
    control.loadFinished = true;
    loop.RunPass();
    EXPECT_TRUE(control.deletedObjects.IsEmpty());
    EXPECT_TRUE(sawContext);
    EXPECT_EQ(control.loading, 0);
    EXPECT_FALSE(control.loadFinished);
    EXPECT_TRUE(control.passAfterLoad);
    EXPECT_EQ(mode0->busyCalls, std::vector<bool>{false});
}

TEST_F(RenderLoopGlTest, FrozenImageIsShownAgainOrSmoothedOnRequest) {
    Start();
    Running();
    loop.RunPass();
    const auto before = Presented(10, 10);
    int smoothed = 0;
    loop.renderAntialiasedFrame = [&](Window&) { ++smoothed; };
    loop.renderScene = [&](Window&) { ADD_FAILURE() << "scene drawn while frozen"; };
    control.SetRenderEnabled(false);
    loop.RunPass();
    EXPECT_EQ(Presented(10, 10), before);
    control.ShowAntialiasedFrame();
    EXPECT_EQ(main->antialiasRequest, 1);
    loop.RunPass();
    EXPECT_EQ(smoothed, 1);
}

TEST_F(RenderLoopGlTest, WindowWithoutSizeDrawsIntoOnePixel) {
    platform::SetClientSize(handle, 0, 0);
    TraceLogTail trace;
    Start();
    EXPECT_TRUE(trace.Contains("mainWindow->height is 0"));
    loop.RunPass();
    EXPECT_EQ(main->deviceContext->Width(), 1);
    EXPECT_EQ(main->deviceContext->Height(), 1);
}

TEST_F(RenderLoopGlTest, QuitRequestEndsTheHandOverBetweenPasses) {
    Start();
    EXPECT_TRUE(loop.BetweenPasses());
    ASSERT_TRUE(control.StopRenderThread());  // no thread: only the request
    EXPECT_FALSE(loop.BetweenPasses());
    EXPECT_FALSE(control.RenderLock().IsHeldByCurrentThread());
}

}  // namespace
