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
#include "render/Window.h"
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

// Pumps the calling thread's messages until `done` or a few seconds have passed.
template <class Done>
bool PumpUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        platform::PumpUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// One life of the control in a headless host window, made through the component layer
// with the content server pointed at a local server that has nothing.
class ControlLife {
public:
    explicit ControlLife(const char* planName) {
        server_.Start();
        factory_ = CDuzazododiza::MakeFactory([] { return new RecordingControl; });
        platform::RegisterClassFactory(CDuzazododiza::kClassId, factory_.Get());
        platform::CreateInstance(CDuzazododiza::kClassId, &object_);
        control_ = dynamic_cast<RecordingControl*>(theControl());
        if (!object_ || !control_) return;
        std::snprintf(control_->contentDomain, sizeof control_->contentDomain, "http://%s",
                      server_.Address().c_str());
        std::snprintf(control_->planName, sizeof control_->planName, "%s", planName);

        platform::WindowCreateInfo host;
        host.width = 64;
        host.height = 48;
        host_ = platform::CreateWindow(host);
        object_->CreateObjectWindow(host_, 64, 48, &window_);
    }
    ~ControlLife() {
        object_.Reset();
        platform::DestroyWindow(host_);
        platform::RevokeClassFactory(CDuzazododiza::kClassId);
    }

    bool Started() const { return control_ && window_ != platform::kNoWindow; }
    // Through post-create: its last step arms the frame-rate timer.
    bool PumpThroughPostCreate() {
        return PumpUntil(
            [&] { return platform::GetTimerPeriod(window_, CDuzazododiza::kFrameRateTimer) != 0; });
    }

    RecordingControl* control_ = nullptr;
    platform::WindowHandle window_ = platform::kNoWindow;

private:
    LocalHttpServer server_;
    platform::RefPtr<platform::IClassFactory> factory_;
    platform::RefPtr<platform::IWindowedObject> object_;
    platform::WindowHandle host_ = platform::kNoWindow;
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
        ControlLife life("UnTitled");
        ASSERT_TRUE(life.Started());
        ASSERT_TRUE(life.PumpThroughPostCreate());
        RecordingControl& control = *life.control_;
        EXPECT_TRUE(control.initialised);
        EXPECT_NE(control.mainWindow, nullptr);
        EXPECT_EQ(SessionOpen(), 1.0);
        EXPECT_EQ(platform::GetTimerPeriod(life.window_, CDuzazododiza::kAutoSaveTimer),
                  120u * 60000u);
        EXPECT_EQ(platform::GetTimerPeriod(life.window_, CDuzazododiza::kFrameRateTimer), 500u);
        EXPECT_EQ(control.globalState.GetInteger(2), 296);
        EXPECT_EQ(platform::GetProcessPriority(), platform::ProcessPriority::Idle);

        // The recovery question, answered No.
        const auto asked = boxes.Boxes();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].caption, "Warning");
        EXPECT_EQ(asked[0].buttons, platform::MessageButtons::YesNo);
        EXPECT_NE(asked[0].text.find("did not shut down properly"), std::string::npos);
        EXPECT_TRUE(control.opened.empty());

        // Timers reach the active window's mode: the field-of-view timer settles the
        // main view's field of view.
        control.mainWindow->fieldOfView = 30.0;
        platform::SendMessage(life.window_, platform::WM_TIMER, CDuzazododiza::kFrameRateTimer, 0);
        EXPECT_EQ(control.mainWindow->settledFieldOfView, 30.0);

        platform::SendMessage(life.window_, platform::WM_CLOSE);
        EXPECT_TRUE(platform::IsWindow(life.window_));  // closing only stops rendering
        EXPECT_TRUE(platform::DestroyWindow(life.window_));
        EXPECT_EQ(SessionOpen(), 0.0);
        EXPECT_TRUE(log.Contains("OD : SVWs Del'ed"));
        EXPECT_TRUE(log.Contains("ePostCreationThr"));
    }
    EXPECT_EQ(theControl(), nullptr);

    // After a clean end no question is asked, and "untitled" in any letter case is not
    // opened. This time the window goes without a close first.
    {
        ControlLife life("UNTITLED");
        ASSERT_TRUE(life.Started());
        ASSERT_TRUE(life.PumpThroughPostCreate());
        EXPECT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_TRUE(life.control_->opened.empty());
        EXPECT_TRUE(platform::DestroyWindow(life.window_));
        EXPECT_EQ(SessionOpen(), 0.0);
    }

    // A plan named before the control was ready is opened once it is.
    {
        ControlLife life("/plans/house.kvp");
        ASSERT_TRUE(life.Started());
        ASSERT_TRUE(life.PumpThroughPostCreate());
        EXPECT_EQ(life.control_->opened, std::vector<std::string>{"/plans/house.kvp"});
        // Released by the host without destroying its window first.
    }
    EXPECT_EQ(theControl(), nullptr);
    EXPECT_EQ(SessionOpen(), 0.0);
}

// A window destroyed before its post-create step started goes cleanly.
TEST(DuzazododizaGlTest, DestroyBeforePostCreate) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    ControlLife life("");
    ASSERT_TRUE(life.Started());
    EXPECT_TRUE(platform::DestroyWindow(life.window_));
    EXPECT_FALSE(platform::IsWindow(life.window_));
}

}  // namespace
