// Windows of the layer on a real X display: what a person does through the X server
// reaches the windows as the layer's messages, and what they draw shows.

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/Event.h"
#include "platform/GLContext.h"
#include "platform/Input.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"
#include "support/XDisplayDriver.h"

using namespace platform;

namespace {

struct Recorder {
    std::vector<Message> messages;
    WindowProc Proc() {
        return [this](WindowHandle w, uint32_t m, WParam wp, LParam lp) -> LResult {
            messages.push_back(Message{w, m, wp, lp, 0});
            return DefaultWindowProc(w, m, wp, lp);
        };
    }
    const Message* Last(uint32_t message) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (it->message == message) return &*it;
        return nullptr;
    }
    bool Has(uint32_t message, WParam wParam) const {
        for (const Message& m : messages)
            if (m.message == message && m.wParam == wParam) return true;
        return false;
    }
};

class DisplayGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    }
    void TearDown() override {
        for (WindowHandle w : windows_) DestroyWindow(w);
        xdriver::PumpFor(50);
    }
    WindowHandle Make(const char* caption, WindowHandle parent, int x, int y, int w, int h,
                      WindowProc proc = {}) {
        WindowCreateInfo info;
        info.caption = caption;
        info.parent = parent;
        info.x = x;
        info.y = y;
        info.width = w;
        info.height = h;
        info.show = ShowState::Normal;
        info.proc = std::move(proc);
        const WindowHandle made = CreateWindow(info);
        if (parent == kNoWindow) windows_.push_back(made);
        return made;
    }
    std::vector<WindowHandle> windows_;
    Recorder top, child;  // outlive the windows, which go in TearDown
};

TEST_F(DisplayGuiTest, PointerAndKeysReachTheChildWindowAsMessages) {
    const WindowHandle frame = Make("Display input", kNoWindow, 40, 40, 300, 200, top.Proc());
    const WindowHandle view = Make("view", frame, 20, 30, 200, 120, child.Proc());
    ASSERT_NE(view, kNoWindow);
    const unsigned long xid = xdriver::FindWindow("Display input");
    ASSERT_NE(xid, 0u);
    xdriver::PumpFor(200);

    // A click at (15, 25) of the child's client area.
    xdriver::Click(xid, 35, 55);
    ASSERT_TRUE(xdriver::PumpUntil([&] { return child.Last(WM_LBUTTONUP) != nullptr; }));
    const Message* down = child.Last(WM_LBUTTONDOWN);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(XFromLParam(down->lParam), 15);
    EXPECT_EQ(YFromLParam(down->lParam), 25);
    EXPECT_TRUE(down->wParam & MK_LBUTTON);
    EXPECT_FALSE(child.Last(WM_LBUTTONUP)->wParam & MK_LBUTTON);
    EXPECT_EQ(top.Last(WM_LBUTTONDOWN), nullptr) << "the frame got the child's click";

    // A drag: moves with the button held, ending where the button came up.
    child.messages.clear();
    xdriver::Drag(xid, 35, 55, 95, 105);
    ASSERT_TRUE(xdriver::PumpUntil([&] { return child.Last(WM_LBUTTONUP) != nullptr; }));
    bool heldMove = false;
    for (const Message& m : child.messages)
        heldMove = heldMove || (m.message == WM_MOUSEMOVE && (m.wParam & MK_LBUTTON));
    EXPECT_TRUE(heldMove);
    EXPECT_EQ(XFromLParam(child.Last(WM_LBUTTONUP)->lParam), 75);
    EXPECT_EQ(YFromLParam(child.Last(WM_LBUTTONUP)->lParam), 75);

    // Keys go to the window that was clicked, with the system's key codes.
    child.messages.clear();
    xdriver::Keys(xid, "a shift+b Left Delete F1");
    ASSERT_TRUE(xdriver::PumpUntil([&] { return child.Has(WM_KEYUP, VK_F1); }));
    EXPECT_TRUE(child.Has(WM_KEYDOWN, 'A'));
    EXPECT_TRUE(child.Has(WM_CHAR, 'a'));
    EXPECT_TRUE(child.Has(WM_KEYDOWN, VK_SHIFT));
    EXPECT_TRUE(child.Has(WM_KEYDOWN, 'B'));
    EXPECT_TRUE(child.Has(WM_CHAR, 'B'));
    EXPECT_TRUE(child.Has(WM_KEYDOWN, VK_LEFT));
    EXPECT_TRUE(child.Has(WM_KEYDOWN, VK_DELETE));
    EXPECT_EQ(GetFocus(), view);
}

TEST_F(DisplayGuiTest, ResizingTheWindowOnTheScreenSendsItsNewSize) {
    const WindowHandle frame = Make("Display size", kNoWindow, 60, 60, 200, 100, top.Proc());
    const unsigned long xid = xdriver::FindWindow("Display size");
    ASSERT_NE(xid, 0u);
    xdriver::Run("xdotool windowsize " + std::to_string(xid) + " 320 240");
    ASSERT_TRUE(xdriver::PumpUntil([&] {
        const Message* size = top.Last(WM_SIZE);
        return size && LowWord(size->lParam) == 320 && HighWord(size->lParam) == 240;
    }));
    EXPECT_EQ(GetClientSize(frame).width, 320);
    EXPECT_EQ(GetClientSize(frame).height, 240);
}

TEST_F(DisplayGuiTest, WhatAWindowDrawsShowsOnTheScreen) {
    const WindowHandle frame = Make("Display picture", kNoWindow, 80, 80, 64, 48);
    std::vector<uint8_t> rgb(64 * 48 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 200;
        rgb[i + 1] = 30;
        rgb[i + 2] = 60;
    }
    ASSERT_TRUE(DrawPixels(frame, 0, 0, 64, 48, rgb.data()));
    const unsigned long xid = xdriver::FindWindow("Display picture");
    ASSERT_NE(xid, 0u);
    xdriver::PumpFor(200);
    const xdriver::Image shot = xdriver::Screenshot(xid);
    ASSERT_EQ(shot.width, 64);
    ASSERT_EQ(shot.height, 48);
    const uint8_t* p = shot.At(32, 24);
    EXPECT_EQ(p[0], 200);
    EXPECT_EQ(p[1], 30);
    EXPECT_EQ(p[2], 60);
}

}  // namespace

namespace {

TEST_F(DisplayGuiTest, ScreenFiguresComeFromTheDisplay) {
    Make("Display figures", kNoWindow, 10, 10, 50, 40);
    int bits = 0;
    ASSERT_TRUE(DisplayColorBits(&bits));
    EXPECT_EQ(std::to_string(bits), xdriver::Run("xdpyinfo | awk '/depth of root window/ {print $5}'"));
    EXPECT_EQ(GetMonitorCount(), 1);
    const Rect area = GetWorkArea();
    EXPECT_EQ(std::to_string(area.right - area.left) + " " + std::to_string(area.bottom - area.top),
              xdriver::Run("xdotool getdisplaygeometry"));
}

}  // namespace

namespace {

// The off-screen buffers the views use for light depth maps are made on the display's
// OpenGL too, at the sides the format allows, and take what is drawn into them.
TEST_F(DisplayGuiTest, OffScreenBuffersAreMadeOnTheDisplaysOpenGL) {
    PixelFormatRequest request;
    request.drawToWindow = false;
    request.drawToOffScreen = true;
    request.doubleBuffer = false;
    request.depthBits = 24;
    const int format = ChoosePixelFormat(request);
    ASSERT_NE(format, 0);
    PixelFormatDescription d;
    ASSERT_TRUE(DescribePixelFormat(format, &d));
    const int side = std::min({512, d.maxOffScreenWidth, d.maxOffScreenHeight});
    ASSERT_GT(side, 0);
    EXPECT_GE(static_cast<long long>(d.maxOffScreenPixels), static_cast<long long>(side) * side);
    std::unique_ptr<GLDrawable> buffer = GLDrawable::CreateOffScreen(format, side, side);
    ASSERT_NE(buffer, nullptr);
    std::unique_ptr<GLContext> context = GLContext::Create(format);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(context->MakeCurrent(*buffer));
    glViewport(0, 0, side, side);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    const std::vector<uint8_t> pixels = buffer->RenderedPixels();
    GLContext::DetachCurrent();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(side) * side * 4);
    const size_t middle = (static_cast<size_t>(side / 2) * side + side / 2) * 4;
    EXPECT_EQ(pixels[middle], 0);
    EXPECT_EQ(pixels[middle + 1], 255);
}

}  // namespace
