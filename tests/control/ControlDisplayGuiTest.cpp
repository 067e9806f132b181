// The editor control hosted in a window on the X display: its view draws through the
// display's OpenGL (and through the software fallback when that is missing) the same
// frame it draws headless, and a person's clicks, drags and keys reach its mouse mode.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "control/Duzazododiza.h"
#include "control/RenderLockScope.h"
#include "foundation/Registry.h"
#include "interaction/MouseHandler.h"
#include "platform/GLContext.h"
#include "render/Window.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"
#include "support/XDisplayDriver.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// The control in a shown host window, made through the component layer, with the
// content server pointed at a local server that has nothing.
class HostedControl {
public:
    explicit HostedControl(const char* title) {
        platform::SetMessageBoxResponder(
            [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::No; });
        server_.Start();
        // A returning user who turned the start-up tip off: its topmost pop-up would
        // otherwise lie over the host window, take the clicks and show in its pictures.
        RegistrySetDouble("webKeys", "TipStartup", 1.0);
        factory_ = CDuzazododiza::MakeFactory([] { return new CDuzazododiza; });
        platform::RegisterClassFactory(CDuzazododiza::kClassId, factory_.Get());
        platform::CreateInstance(CDuzazododiza::kClassId, &object_);
        control_ = dynamic_cast<CDuzazododiza*>(theControl());
        if (!object_ || !control_) return;
        // The drawn bars hide until the pointer comes to them, so clicks reach the mode.
        control_->globalState.SetBoolean(1, true);
        std::snprintf(control_->contentDomain, sizeof control_->contentDomain, "http://%s",
                      server_.Address().c_str());
        platform::WindowCreateInfo host;
        host.caption = title;
        host.x = 30;
        host.y = 30;
        host.width = kWidth;
        host.height = kHeight;
        host.show = platform::ShowState::Normal;
        host_ = platform::CreateWindow(host);
        object_->CreateObjectWindow(host_, kWidth, kHeight, &window_);
    }
    ~HostedControl() {
        if (control_ && control_->mainWindow && saved_) {
            RenderLockScope hold(*control_);
            control_->mainWindow->currentMode = saved_;
        }
        if (platform::IsWindow(window_)) platform::DestroyWindow(window_);
        object_.Reset();
        platform::DestroyWindow(host_);
        platform::RevokeClassFactory(CDuzazododiza::kClassId);
        platform::SetMessageBoxResponder(nullptr);
    }

    bool Started() {
        if (!control_ || window_ == platform::kNoWindow) return false;
        // Post-create's last step arms the frame-rate timer (slow in a sanitizer's build).
        return xdriver::PumpUntil(
            [&] {
                return platform::GetTimerPeriod(window_, CDuzazododiza::kFrameRateTimer) != 0;
            },
            120000);
    }
    // Puts `mode` in place of the main view's current mode until the end.
    void UseMode(MouseHandler* mode) {
        // The render thread reads the mode between its passes.
        RenderLockScope hold(*control_);
        if (!saved_) saved_ = control_->mainWindow->currentMode;
        control_->mainWindow->currentMode = mode;
    }

    CDuzazododiza* control_ = nullptr;
    platform::WindowHandle window_ = platform::kNoWindow;

private:
    ScopedRegistry registry_;
    ScopedProgramFolder folder_;
    LocalHttpServer server_;
    platform::RefPtr<platform::IClassFactory> factory_;
    platform::RefPtr<platform::IWindowedObject> object_;
    platform::WindowHandle host_ = platform::kNoWindow;
    MouseHandler* saved_ = nullptr;
};

void WritePpm(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

xdriver::Image ReadPpm(const std::string& path) {
    xdriver::Image image;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    if (magic != "P6" || image.width <= 0 || image.height <= 0) return {};
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return image;
}

// Draws the start-up scene once and writes what shows as a PPM to $KIVORA_FRAME_OUT:
// headless the view's presented frame, on the display a screenshot of the host window.
// Run by the comparison below in processes of their own, one per implementation.
TEST(ControlDisplayGuiTest, DrawStartupFrame) {
    const char* out = std::getenv("KIVORA_FRAME_OUT");
    if (!out) GTEST_SKIP() << "run by ViewOnTheDisplayMatchesTheHeadlessFrame";
    HostedControl hosted("Kivora frame");
    ASSERT_TRUE(hosted.Started());
    // The wait screen turns until it has faded, and the first scene passes take long on a
    // slow build: two whole passes after the fade come before any picture is taken.
    ASSERT_TRUE(xdriver::PumpUntil([&] { return hosted.control_->IsRunning(); }, 60000));
    for (int pass = 0; pass < 2; ++pass) {
        auto passEnd = [&] {
            RenderLockScope hold(*hosted.control_);
            return hosted.control_->passEnd;
        };
        const int64_t before = passEnd();
        ASSERT_TRUE(xdriver::PumpUntil([&] { return passEnd() != before; }, 60000));
    }
    const char* headless = std::getenv("KIVORA_HEADLESS");
    if (headless && std::string(headless) == "1") {
        // Frames keep coming: take one after the scene settled.
        xdriver::PumpFor(1500);
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(xdriver::PumpUntil([&] {
            rgba = hosted.control_->mainDrawable->PresentedPixels();
            return rgba.size() == size_t(kWidth) * kHeight * 4;
        }));
        std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c)
                    rgb[(size_t(y) * kWidth + x) * 3 + c] =
                        rgba[(size_t(kHeight - 1 - y) * kWidth + x) * 4 + c];
        WritePpm(out, kWidth, kHeight, rgb);
        return;
    }
    const unsigned long xid = xdriver::FindWindow("Kivora frame");
    ASSERT_NE(xid, 0u);
    xdriver::PumpFor(1500);
    const xdriver::Image shot = xdriver::Screenshot(xid);
    ASSERT_EQ(shot.width, kWidth);
    WritePpm(out, shot.width, shot.height, shot.rgb);
}

TEST(ControlDisplayGuiTest, ViewOnTheDisplayMatchesTheHeadlessFrame) {
    if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    auto draw = [&](const std::string& name, const std::string& env) {
        const std::string path = dir + "/frame-" + name + ".ppm";
        const std::string command = env + " KIVORA_FRAME_OUT=" + path + " " + self +
                                    " --gtest_filter=ControlDisplayGuiTest.DrawStartupFrame"
                                    " >" + dir + "/frame-" + name + ".log 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_EQ(status, 0) << name << ": " << xdriver::Run("tail -20 " + dir + "/frame-" + name + ".log");
        return ReadPpm(path);
    };
    const xdriver::Image headless = draw("headless", "KIVORA_HEADLESS=1");
    const xdriver::Image glx = draw("glx", "KIVORA_HEADLESS=0");
    const xdriver::Image fallback = draw("osmesa", "KIVORA_HEADLESS=0 KIVORA_NO_GLX=1");
    ASSERT_EQ(headless.width, kWidth);
    // Something was drawn: the frame is not one colour.
    bool varied = false;
    for (size_t i = 3; i < headless.rgb.size() && !varied; ++i)
        varied = headless.rgb[i] != headless.rgb[i % 3];
    EXPECT_TRUE(varied);
    const char* keep = std::getenv("KIVORA_FRAMES_DIR");
    for (const auto& [name, image] : {std::pair{"glx", glx}, std::pair{"osmesa", fallback}}) {
        const double off = xdriver::Difference(image, headless, 8);
        EXPECT_LT(off, 0.01) << name << " differs from the headless frame in " << off * 100
                             << "% of the pixels";
        if (keep || off >= 0.01) {
            const std::string base = std::string(keep ? keep : dir) + "/frame-" + name;
            xdriver::Run("convert " + dir + "/frame-" + name + ".ppm " + base + ".out.png");
        }
    }
    if (keep) xdriver::Run("convert " + dir + "/frame-headless.ppm " + keep + "/frame-headless.png");
}

// A mouse mode that keeps what reaches it.
class RecordingMode : public MouseHandler {
public:
    struct Event {
        char kind;  // 'd'own, 'u'p, 'm'ove, 'k'ey down, 'K'ey up
        int x = 0, y = 0;
        unsigned key = 0;
    };
    void OnLButtonDown(intptr_t p) override { Note('d', p); }
    void OnLButtonUp(intptr_t p) override { Note('u', p); }
    void OnMouseMove(intptr_t p) override { Note('m', p); }
    void OnKeyDown(unsigned key) override { events.push_back({'k', 0, 0, key}); }
    void OnKeyUp(unsigned key) override { events.push_back({'K', 0, 0, key}); }
    const Event* Last(char kind) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->kind == kind) return &*it;
        return nullptr;
    }
    bool HasKey(char kind, unsigned key) const {
        for (const Event& e : events)
            if (e.kind == kind && e.key == key) return true;
        return false;
    }
    std::vector<Event> events;

private:
    void Note(char kind, intptr_t p) {
        events.push_back({kind, platform::XFromLParam(p), platform::YFromLParam(p), 0});
    }
};

TEST(ControlDisplayGuiTest, ClickDragAndKeysReachTheActiveMode) {
    if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    // The mode outlives the control, whose render thread reads it until the end.
    RecordingMode mode;
    HostedControl hosted("Kivora input");
    ASSERT_TRUE(hosted.Started());
    hosted.UseMode(&mode);
    const unsigned long xid = xdriver::FindWindow("Kivora input");
    ASSERT_NE(xid, 0u);

    xdriver::Click(xid, 40, 30);
    ASSERT_TRUE(xdriver::PumpUntil([&] { return mode.Last('u') != nullptr; }));
    ASSERT_NE(mode.Last('d'), nullptr);
    EXPECT_EQ(mode.Last('d')->x, 40);
    EXPECT_EQ(mode.Last('d')->y, 30);
    EXPECT_EQ(platform::GetFocus(), hosted.window_);

    mode.events.clear();
    xdriver::Drag(xid, 40, 30, 120, 90);
    ASSERT_TRUE(xdriver::PumpUntil([&] { return mode.Last('u') != nullptr; }));
    EXPECT_EQ(mode.Last('u')->x, 120);
    EXPECT_EQ(mode.Last('u')->y, 90);
    ASSERT_NE(mode.Last('m'), nullptr);
    EXPECT_EQ(mode.Last('m')->x, 120);

    xdriver::Keys(xid, "Delete z Escape");
    ASSERT_TRUE(xdriver::PumpUntil([&] { return mode.HasKey('K', platform::VK_ESCAPE); }));
    EXPECT_TRUE(mode.HasKey('k', platform::VK_DELETE));
    EXPECT_TRUE(mode.HasKey('k', 'Z'));
    EXPECT_TRUE(mode.HasKey('K', 'Z'));
}

}  // namespace
