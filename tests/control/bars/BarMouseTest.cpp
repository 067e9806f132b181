#include <gtest/gtest.h>

#include <string>

#include "control/bars/Toolbar.h"
#include "platform/Clock.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "support/RunningControl.h"

namespace {

// The running control with a window that takes the control window's mouse and timer
// messages, as the main view's window, 700 x 100 pixels with the toolbar at its
// default size. The layer's clock only moves when the test moves it.
class BarMouseTest : public ::testing::Test {
protected:
    BarMouseTest() {
        CDuzazododiza* control = running.control;
        control->globalState.SetInteger(2, 296);
        control->globalState.SetInteger(3, 24);
        platform::WindowCreateInfo info;
        info.proc = [control](platform::WindowHandle w, uint32_t m, platform::WParam wp,
                              platform::LParam lp) -> platform::LResult {
            if (m == platform::WM_CREATE || m == platform::WM_DESTROY ||
                m == platform::WM_NCDESTROY || m == platform::WM_SIZE)
                return platform::DefaultWindowProc(w, m, wp, lp);
            return control->WindowProc(w, m, wp, lp);
        };
        handle = platform::CreateWindow(info);
        control->AttachWindowForTesting(handle);
        running.window.windowHandle = handle;
        running.window.OnSize({0, 0, 700, 100});
    }
    ~BarMouseTest() override {
        platform::SetMenuChooser(nullptr);
        running.window.windowHandle = platform::kNoWindow;
        running.control->AttachWindowForTesting(platform::kNoWindow);
        platform::DestroyWindow(handle);
    }

    void Send(uint32_t message, int x, int y) {
        platform::SendMessage(handle, message, 0, platform::MakeLParam(x, y));
    }
    void Wait(int ms) {
        clock.AdvanceMilliseconds(ms);
        platform::PumpUntilIdle();
    }

    platform::ManualCounter clock;
    RunningControl running;
    platform::WindowHandle handle = platform::kNoWindow;
};

TEST_F(BarMouseTest, ToolbarClickRunsItsButtonOnceTheDoubleClickTimeHasPassed) {
    using namespace platform;
    // Button 10 (x 490) is the orbit mode, 16.
    Send(WM_LBUTTONDOWN, 490, 5);
    Send(WM_LBUTTONUP, 490, 5);
    EXPECT_EQ(running.Mode(), 0) << "a double click may still come";
    EXPECT_EQ(GetTimerPeriod(handle, Window::kSingleClickTimer), 250u);
    Wait(250);
    EXPECT_EQ(running.Mode(), 16);
    EXPECT_EQ(GetTimerPeriod(handle, Window::kSingleClickTimer), 0u);

    // A double click on button 23 (x 630) sends the button's other command at once and
    // drops the single click.
    ASSERT_TRUE(running.window.SetViewMode(Window::kBlueprintView));
    Send(WM_LBUTTONDOWN, 630, 5);
    Send(WM_LBUTTONUP, 630, 5);
    Send(WM_LBUTTONDBLCLK, 630, 5);
    Send(WM_LBUTTONUP, 630, 5);
    EXPECT_EQ(running.window.GetViewMode(), Window::kPerspectiveView);
    EXPECT_EQ(GetTimerPeriod(handle, Window::kSingleClickTimer), 0u);

    // Below the bar the click goes to the mode: when its single-click time has passed,
    // no button of the toolbar has run.
    const int mode = running.Mode();
    Send(WM_LBUTTONDOWN, 490, 40);
    Send(WM_LBUTTONUP, 490, 40);
    Wait(250);
    EXPECT_EQ(running.Mode(), mode);
    EXPECT_EQ(running.window.GetViewMode(), Window::kPerspectiveView);
}

TEST_F(BarMouseTest, MenuTitleClickOpensItsMenuAndRunsTheChosenCommand) {
    GlobalState& global = running.control->globalState;
    global.SetBoolean(3, true);
    bool snapTicked = false;
    std::string firstItem;
    platform::SetMenuChooser([&](const platform::Menu& menu) -> uint32_t {
        firstItem = menu.GetItem(0).text;
        snapTicked = menu.FindItem(233) && menu.FindItem(233)->checked;
        return 233;  // "Snap To"
    });
    // "Edit" spans x 50 .. 90 of the top 28 rows.
    platform::SendMessage(handle, platform::WM_LBUTTONDOWN, 0, platform::MakeLParam(60, 5));
    EXPECT_EQ(firstItem, "Undo");
    EXPECT_TRUE(snapTicked);
    EXPECT_FALSE(global.GetBoolean(3));

    // Dismissing the menu runs nothing.
    platform::SetMenuChooser(nullptr);
    platform::SendMessage(handle, platform::WM_LBUTTONDOWN, 0, platform::MakeLParam(60, 5));
    EXPECT_FALSE(global.GetBoolean(3));
}

TEST_F(BarMouseTest, MovesAndHoversReachTheBars) {
    using namespace platform;
    Send(WM_MOUSEMOVE, 20, 5);
    EXPECT_EQ(running.window.menuBar.selected, 0);
    Send(WM_MOUSEHOVER, 490, 5);
    EXPECT_STREQ(running.window.helpWindow.caption, "Orbit");
    EXPECT_TRUE(running.window.helpWindow.shown);
    Send(WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(running.window.helpWindow.shown);
}

TEST_F(BarMouseTest, ProgressBarBelongsToTheFirstCallerUntilItLetsGo) {
    CDuzazododiza& control = *running.control;
    control.SetStatusText("Opening house.kvp");
    control.ShowMainProgress(true, 1);
    control.ShowMainProgress(true, 2);
    EXPECT_EQ(control.progressOwner.load(), 1);
    EXPECT_TRUE(control.progressBar.IsShown());
    EXPECT_EQ(control.progressBar.Caption(), "Opening house.kvp");

    control.SetProgressDetail(4096.0, 2);
    EXPECT_EQ(control.progressBar.Detail(), "");
    control.SetProgressDetail(4096.0, 1);
    EXPECT_EQ(control.progressBar.Detail(), "File size: 4.0 Kb.");

    control.globalState.SetInteger(10, 5);
    control.ShowMainProgress(false, 2);
    EXPECT_TRUE(control.progressBar.IsShown());
    control.ShowMainProgress(false, 1);
    EXPECT_FALSE(control.progressBar.IsShown());
    EXPECT_EQ(control.progressOwner.load(), 0);
    EXPECT_EQ(control.progressBar.Detail(), "");
    EXPECT_EQ(control.globalState.GetInteger(10), 0);
    control.ShowMainProgress(true, 2);
    EXPECT_EQ(control.progressOwner.load(), 2);
}

}  // namespace
