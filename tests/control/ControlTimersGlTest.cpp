#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "control/Duzazododiza.h"
#include "interaction/MouseHandler.h"
#include "interaction/TraceImageModel.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "render/Window.h"
#include "support/LiveControl.h"

namespace {

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Pumps for a while, whatever happens.
void PumpFor(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    LiveControl::PumpUntil([&] { return std::chrono::steady_clock::now() > end; });
}

// The main view's width and height.
std::pair<uint32_t, uint32_t> ViewSize(CDuzazododiza& control) {
    control.LockRender();
    const std::pair<uint32_t, uint32_t> size{control.mainWindow->width, control.mainWindow->height};
    control.UnlockRender();
    return size;
}

// A new size of the control's window reaches the main view once the frame is let go,
// and the resize timer stops after doing so.
TEST(ControlTimersGlTest, ResizeReachesTheViewWhenTheButtonIsUpAndThenStops) {
    LiveControl live(64, 48);
    ASSERT_TRUE(live.PumpUntilRunning());
    CDuzazododiza& control = *live.control;
    ASSERT_EQ(ViewSize(control), std::make_pair(64u, 48u));

    // The frame is still being dragged: the resize waits.
    platform::SetKeyState(platform::VK_LBUTTON, true);
    ASSERT_TRUE(platform::SetClientSize(live.window, 80, 60));
    PumpFor(120);
    EXPECT_EQ(ViewSize(control), std::make_pair(64u, 48u));
    EXPECT_EQ(platform::GetTimerPeriod(live.window, MouseHandler::kResizeTimer), 20u);

    platform::SetKeyState(platform::VK_LBUTTON, false);
    ASSERT_TRUE(LiveControl::PumpUntil([&] { return ViewSize(control).first == 80u; }));
    EXPECT_EQ(ViewSize(control), std::make_pair(80u, 60u));
    EXPECT_EQ(platform::GetTimerPeriod(live.window, MouseHandler::kResizeTimer), 0u);
    PumpFor(60);
    EXPECT_EQ(platform::GetTimerPeriod(live.window, MouseHandler::kResizeTimer), 0u);
}

// The auto-save timer writes the recovery plan while the plan has changes, and only
// then; the plan written opens again, and the timer goes on at the user's interval.
TEST(ControlTimersGlTest, AutoSaveWritesARecoveryPlanOnlyForAChangedPlan) {
    LiveControl live;
    ASSERT_TRUE(live.PumpUntilRunning());
    CDuzazododiza& control = *live.control;
    const std::string path = live.TemporaryFolder() + "restore.kvp";
    const uint32_t interval = 60000u * static_cast<uint32_t>(control.globalState.AutoSaveMinutes());
    ASSERT_TRUE(control.globalState.GetBoolean(20)) << "auto-save is on by default";
    // Fires the auto-save timer soon and waits until it has re-armed itself.
    auto fire = [&] {
        platform::SetTimer(live.window, CDuzazododiza::kAutoSaveTimer, 10);
        return LiveControl::PumpUntil([&] {
            return platform::GetTimerPeriod(live.window, CDuzazododiza::kAutoSaveTimer) == interval;
        });
    };

    control.LockRender();
    control.globalState.SetBoolean(0, false);
    control.UnlockRender();
    ASSERT_TRUE(fire());
    EXPECT_FALSE(FileExists(path)) << "nothing to recover from an unchanged plan";

    control.mainWindow->SetTraceImage("http://127.0.0.1/plans/ground-floor.jpg");
    control.LockRender();
    control.globalState.SetDouble(15, 33.0);  // the plan's north
    control.globalState.SetBoolean(0, true);
    control.UnlockRender();
    ASSERT_TRUE(fire());
    ASSERT_TRUE(FileExists(path));
    // Written beside and renamed into place: nothing half-written is left.
    EXPECT_FALSE(FileExists(live.TemporaryFolder() + "restore.kvu"));
    EXPECT_FALSE(FileExists(path + ".saving"));
    EXPECT_TRUE(control.globalState.GetBoolean(0)) << "a recovery copy is not a save";

    // The recovery plan opens with what was there.
    control.LockRender();
    control.globalState.SetDouble(15, 0.0);
    delete control.mainWindow->traceImage;
    control.mainWindow->traceImage = nullptr;
    control.UnlockRender();
    control.LoadPlanFile(path.c_str(), false);
    control.LockRender();
    EXPECT_EQ(control.globalState.GetDouble(15), 33.0);
    ASSERT_NE(control.mainWindow->traceImage, nullptr);
    EXPECT_STREQ(control.mainWindow->traceImage->GetImageURL(),
                 "http://127.0.0.1/plans/ground-floor.jpg");
    control.UnlockRender();
}

}  // namespace
