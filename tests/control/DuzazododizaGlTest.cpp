#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/Duzazododiza.h"
#include "foundation/Registry.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "support/ControlLife.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

namespace {

// The control with the opening of plan files recorded.
class RecordingControl : public CDuzazododiza {
public:
    std::vector<std::string> opened;

protected:
    bool OpenLocalPlan(const char* name) override {
        opened.push_back(name);
        return true;
    }
};

// Message boxes answered No and recorded.
class BoxRecorder {
public:
    BoxRecorder() {
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            std::lock_guard<std::mutex> guard(mutex_);
            boxes_.push_back(box);
            return platform::MessageAnswer::No;
        });
    }
    ~BoxRecorder() { platform::SetMessageBoxResponder(nullptr); }
    std::vector<platform::MessageBoxRequest> Boxes() {
        std::lock_guard<std::mutex> guard(mutex_);
        return boxes_;
    }

private:
    std::mutex mutex_;
    std::vector<platform::MessageBoxRequest> boxes_;
};

double SessionOpen() {
    double value = -1.0;
    RegistryGetDouble("", "Session open", &value);
    return value;
}

// One life of the control with the content server pointed at a local server that has
// nothing.
class Life : public ControlLife<RecordingControl> {
public:
    explicit Life(const char* planName) { Start(planName); }
    bool Started() const { return control && window != platform::kNoWindow; }
};

TEST(DuzazododizaGlTest, LifeOfTheControlWindow) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    BoxRecorder boxes;
    // A previous run that did not end through its window's destruction, and an
    // auto-save interval beyond the largest one.
    RegistrySetDouble("", "Session open", 1.0);
    RegistrySetDouble("defaults\\global\\", "integer 7", 500.0);

    {
        TraceLogTail log;
        Life life("UnTitled");
        ASSERT_TRUE(life.Started());
        ASSERT_TRUE(life.PumpThroughPostCreate());
        RecordingControl& control = *life.control;
        EXPECT_TRUE(control.initialised);
        EXPECT_NE(control.mainWindow, nullptr);
        EXPECT_EQ(SessionOpen(), 1.0);
        EXPECT_EQ(platform::GetTimerPeriod(life.window, CDuzazododiza::kAutoSaveTimer),
                  120u * 60000u);
        EXPECT_EQ(platform::GetTimerPeriod(life.window, CDuzazododiza::kFrameRateTimer), 500u);
        EXPECT_EQ(control.globalState.GetInteger(2), 296);
        EXPECT_EQ(platform::GetProcessPriority(), platform::ProcessPriority::Idle);

        // The recovery question, answered No.
        const auto asked = boxes.Boxes();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].caption, "Warning");
        EXPECT_EQ(asked[0].buttons, platform::MessageButtons::YesNo);
        EXPECT_NE(asked[0].text.find("did not shut down properly"), std::string::npos);
        EXPECT_TRUE(control.opened.empty());

        // Timers reach the active window's mode.
        platform::SendMessage(life.window, platform::WM_TIMER, 2, 0);
        EXPECT_TRUE(log.Contains("FP:OT End"));

        platform::SendMessage(life.window, platform::WM_CLOSE);
        EXPECT_TRUE(platform::IsWindow(life.window));  // closing only stops rendering
        EXPECT_TRUE(platform::DestroyWindow(life.window));
        EXPECT_EQ(SessionOpen(), 0.0);
        EXPECT_TRUE(log.Contains("OD : SVWs Del'ed"));
        EXPECT_TRUE(log.Contains("ePostCreationThr"));
    }
    EXPECT_EQ(theControl(), nullptr);

    // After a clean end no question is asked, and "untitled" in any letter case is not
    // opened. This time the window goes without a close first.
    {
        Life life("UNTITLED");
        ASSERT_TRUE(life.Started());
        ASSERT_TRUE(life.PumpThroughPostCreate());
        EXPECT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_TRUE(life.control->opened.empty());
        EXPECT_TRUE(platform::DestroyWindow(life.window));
        EXPECT_EQ(SessionOpen(), 0.0);
    }

    // A plan named before the control was ready is opened once it is.
    {
        Life life("/plans/house.kvp");
        ASSERT_TRUE(life.Started());
        ASSERT_TRUE(life.PumpThroughPostCreate());
        EXPECT_EQ(life.control->opened, std::vector<std::string>{"/plans/house.kvp"});
        // Released by the host without destroying its window first.
    }
    EXPECT_EQ(theControl(), nullptr);
    EXPECT_EQ(SessionOpen(), 0.0);
}

// A window destroyed before its post-create step started goes cleanly.
TEST(DuzazododizaGlTest, DestroyBeforePostCreate) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    Life life("");
    ASSERT_TRUE(life.Started());
    EXPECT_TRUE(platform::DestroyWindow(life.window));
    EXPECT_FALSE(platform::IsWindow(life.window));
}

}  // namespace
