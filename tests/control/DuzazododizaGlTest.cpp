#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/Duzazododiza.h"
#include "foundation/Registry.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "render/Bitmap.h"
#include "render/LightSource.h"
#include "render/Material.h"
#include "render/OffScreenWindow.h"
#include "render/Sky.h"
#include "render/Window.h"
#include "support/ContentServer.h"
#include "support/LocalHttpServer.h"
#include "support/Pump.h"
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


// One life of the control in a headless host window, made through the component layer
// with the content server pointed at a local server that has nothing.
class ControlLife {
public:
    // With a domain, the content comes from there instead.
    explicit ControlLife(const char* planName, const std::string& domain = std::string()) {
        server_.Start();
        factory_ = CDuzazododiza::MakeFactory([] { return new RecordingControl; });
        platform::RegisterClassFactory(CDuzazododiza::kClassId, factory_.Get());
        platform::CreateInstance(CDuzazododiza::kClassId, &object_);
        control_ = dynamic_cast<RecordingControl*>(theControl());
        if (!object_ || !control_) return;
        std::snprintf(control_->contentDomain, sizeof control_->contentDomain, "%s",
                      domain.empty() ? ("http://" + server_.Address()).c_str() : domain.c_str());
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

// A settings store found damaged at start is replaced; the user hears of it once.
TEST(DuzazododizaGlTest, SettingsFoundDamagedAreResetAndTheUserIsToldOnce) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    BoxRecorder boxes;
    std::ofstream(registry.Folder() + "registry.sqlite") << "damaged beyond reading";
    for (int life = 0; life < 2; ++life) {
        TraceLogTail log;
        ControlLife control("");
        ASSERT_TRUE(control.Started());
        ASSERT_TRUE(control.PumpThroughPostCreate());
        EXPECT_EQ(SessionOpen(), 1.0) << "the fresh store keeps what is written";
        EXPECT_TRUE(platform::DestroyWindow(control.window_));
        if (life == 0) EXPECT_TRUE(log.Contains("was damaged"));
    }
    const auto told = boxes.Boxes();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].caption, "Settings Reset");
    EXPECT_NE(told[0].text.find(registry.Folder() + "registry.sqlite.damaged-"),
              std::string::npos)
        << told[0].text;
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

// The control starts with the content server's sky, sun and spot light, its default
// material and the default normal map, and frees them with its window.
TEST(DuzazododizaGlTest, StartUpMakesTheDefaultContent) {
    ScopedRegistry registry;
    ScopedProgramFolder folder;
    ContentServer content;
    ASSERT_TRUE(content.Start());
    ControlLife life("untitled", content.Domain());
    ASSERT_TRUE(life.Started());
    ASSERT_TRUE(life.PumpThroughPostCreate());
    RecordingControl& control = *life.control_;

    ASSERT_NE(control.sky, nullptr);
    EXPECT_EQ(control.sky->GetKind(), EnvironmentObject::kSkyDome);
    EXPECT_EQ(content.Requests("/plansys/defaultSky/cumulus.3c_"), 1);
    EXPECT_NE(std::string(control.sky->GetURL()).find("3d/box.3c_"), std::string::npos);

    ASSERT_NE(control.normalMap, nullptr);
    EXPECT_EQ(DefaultNormalMap(), control.normalMap);
    ASSERT_NE(control.defaultMaterial, nullptr);
    EXPECT_DOUBLE_EQ(control.defaultMaterial->red, 0.75);

    // The sun, then the spot light at the head of the scene, which is the active light.
    ASSERT_EQ(control.scene.GetCount(), 2u);
    auto* spot = dynamic_cast<LightSource*>(control.scene.GetHead());
    auto* sun = dynamic_cast<LightSource*>(control.scene.GetTail());
    ASSERT_TRUE(spot && sun);
    EXPECT_TRUE(spot->IsPositional());
    EXPECT_FALSE(sun->IsPositional());
    EXPECT_EQ(control.activeLight, spot);
    EXPECT_EQ(spot->GetPosition().x, 430.0);
    EXPECT_EQ(spot->GetPosition().y, 430.0);
    EXPECT_DOUBLE_EQ(spot->state.GetDouble(0), control.globalState.GetDouble(11));

    // "Refresh" (333) remakes the depth map of a light that shows shadows.
    if (control.shadingLevel > 0 && theOffScreenWindow() && theOffScreenWindow()->HasBuffer()) {
        spot->state.SetBoolean(0, true);
        spot->state.SetInteger(2, 32);
        spot->state.SetInteger(3, 32);
        control.RefreshShadows();
        EXPECT_EQ(spot->depthMapWidthUsed, 32u);
        spot->state.SetBoolean(0, false);
        spot->state.SetInteger(2, 16);
        control.RefreshShadows();
        EXPECT_EQ(spot->depthMapWidthUsed, 32u) << "no shadows: no new depth map";
    } else {
        ADD_FAILURE() << "no off-screen buffer for depth maps";
    }

    EXPECT_TRUE(platform::DestroyWindow(life.window_));
    EXPECT_EQ(control.sky, nullptr);
    EXPECT_EQ(control.normalMap, nullptr);
    EXPECT_EQ(DefaultNormalMap(), nullptr);
}

}  // namespace
