#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/MapWindow.h"
#include "control/SavedViewWindow.h"
#include "foundation/Registry.h"
#include "platform/GLContext.h"
#include "render/Bitmap.h"
#include "support/ControlLife.h"
#include "support/PngWriter.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

constexpr uint8_t kNavigatorColour[3] = {30, 160, 90};
constexpr int kNavigatorWidth = 40;
constexpr int kNavigatorHeight = 30;

// The navigator picture the content server hands out: one colour.
std::string NavigatorPng() {
    PngImage image;
    image.width = kNavigatorWidth;
    image.height = kNavigatorHeight;
    image.colourType = 2;
    for (int p = 0; p < kNavigatorWidth * kNavigatorHeight; ++p)
        image.rows.insert(image.rows.end(), kNavigatorColour, kNavigatorColour + 3);
    const std::vector<uint8_t> file = WritePng(image);
    return std::string(file.begin(), file.end());
}

// The presented picture of a window's buffer at (x, y), y from the bottom.
std::vector<uint8_t> PresentedAt(const platform::GLDrawable& buffer, int x, int y) {
    const std::vector<uint8_t> pixels = buffer.PresentedPixels();
    const size_t at = (static_cast<size_t>(y) * buffer.Width() + x) * 4;
    if (at + 3 > pixels.size()) return {};
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

class SavedViewsGlTest : public ::testing::Test {
protected:
    SavedViewsGlTest() {
        // No tip pop-up at the start.
        RegistrySetDouble("webKeys", "TipStartup", 1.0);
        const std::string png = NavigatorPng();
        life.server.Server().Get("/plansys/cameraMapWin.jpg",
                                 [png](const httplib::Request&, httplib::Response& response) {
                                     response.set_content(png, "image/png");
                                 });
    }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    ControlLife<> life;
};

TEST_F(SavedViewsGlTest, SavedViewOpensDrawsSwapsCamerasAndClosesWithTheControl) {
    ASSERT_TRUE(life.Start("", 200, 150));
    ASSERT_TRUE(life.PumpUntilRunning());
    CDuzazododiza& control = *life.control;

    SavedViewWindow* saved = control.OpenSavedViewWindow();
    ASSERT_NE(saved, nullptr);
    const platform::WindowHandle handle = saved->handle;
    EXPECT_EQ(platform::GetWindowText(handle), "View 1");
    EXPECT_TRUE(platform::IsWindowTopmost(handle));
    EXPECT_EQ(saved->view.width, 400u);
    EXPECT_EQ(saved->view.GetViewMode(), control.mainWindow->GetViewMode());
    ASSERT_TRUE(saved->contextCreated);
    // The render loop draws it: the gradient sky fills its buffer.
    ASSERT_TRUE(PumpUntil([&] { return !PresentedAt(*saved->drawable, 200, 300).empty(); }));
    ASSERT_TRUE(PumpUntil([&] {
        const std::vector<uint8_t> sky = PresentedAt(*saved->drawable, 200, 300);
        return sky[0] + sky[1] + sky[2] > 0;
    }));

    // A double click trades cameras with the main view.
    control.LockRender();
    saved->view.camera.SetVector(0, Vector(-11, -22, -33));
    const Vector mainEye = control.mainWindow->camera.GetVector(0);
    control.UnlockRender();
    platform::SendMessage(handle, platform::WM_LBUTTONDBLCLK, 0, platform::MakeLParam(5, 5));
    control.LockRender();
    EXPECT_EQ(control.mainWindow->camera.GetVector(0).y, -22.0);
    EXPECT_EQ(saved->view.camera.GetVector(0).y, mainEye.y);
    control.UnlockRender();

    // Activated, it takes the input; closing the control takes it along.
    platform::SendMessage(handle, platform::WM_ACTIVATE, platform::WA_ACTIVE);
    EXPECT_EQ(control.activeWindow, &saved->view);
    EXPECT_TRUE(platform::DestroyWindow(life.window));
    EXPECT_FALSE(platform::IsWindow(handle));
    EXPECT_EQ(SavedViewWindow::OpenCount(), 0);
}

TEST_F(SavedViewsGlTest, MapShowsItsNavigatorWhoseButtonsMoveTheMainCamera) {
    ASSERT_TRUE(life.Start("", 200, 150));
    ASSERT_TRUE(life.PumpUntilRunning());
    CDuzazododiza& control = *life.control;

    EXPECT_EQ(control.ToggleMap(), platform::S_OK);
    Window* view = control.FindMapWindow();
    ASSERT_NE(view, nullptr);
    auto* map = dynamic_cast<MapWindow*>(view->frame);
    ASSERT_NE(map, nullptr);
    const platform::WindowHandle handle = map->handle;
    EXPECT_EQ(platform::GetWindowText(handle), "     Map Window");
    EXPECT_EQ(view->viewFlags.GetInt64(0) & MapWindow::kHiddenTypes, MapWindow::kHiddenTypes);
    // The picture arrives from the content server and is drawn in the lower right corner.
    ASSERT_TRUE(PumpUntil([&] {
        control.LockRender();
        const bool arrived = map->navigator && map->navigator->HasPixels();
        control.UnlockRender();
        return arrived;
    }));
    const int left = static_cast<int>(view->width) - 10 - kNavigatorWidth;
    ASSERT_TRUE(PumpUntil([&] {
        const std::vector<uint8_t> pixel = PresentedAt(*map->drawable, left + 5, 10 + 5);
        return pixel.size() == 3 && pixel[0] == kNavigatorColour[0] &&
               pixel[1] == kNavigatorColour[1] && pixel[2] == kNavigatorColour[2];
    }));

    // Button 3 (upper middle) raises the main eye by 54; button 1 (upper left) turns the
    // look by -10 degrees; each is one view change of the main view.
    control.LockRender();
    Window& main = *control.mainWindow;
    const Vector eye = main.camera.GetVector(0);
    const Vector look = main.camera.GetVector(1);
    const uint32_t changes = main.viewUndoStack.GetCount();
    control.UnlockRender();
    const int top = static_cast<int>(view->height) - 10 - kNavigatorHeight;  // from the top
    auto click = [&](int px, int py) {  // on the picture, py from its bottom
        platform::SendMessage(handle, platform::WM_LBUTTONDOWN, 0,
                              platform::MakeLParam(left + px, top + kNavigatorHeight - 1 - py));
        platform::SendMessage(handle, platform::WM_LBUTTONUP, 0,
                              platform::MakeLParam(left + px, top + kNavigatorHeight - 1 - py));
    };
    EXPECT_EQ(map->NavigatorButtonAt(left + 20, top + 2), 3);
    click(20, 27);
    click(2, 27);
    control.LockRender();
    EXPECT_DOUBLE_EQ(main.camera.GetVector(0).y, std::max(eye.y - 54.0, -3000.0));
    EXPECT_DOUBLE_EQ(main.camera.GetVector(1).x, look.x - 10.0);
    EXPECT_EQ(main.viewUndoStack.GetCount(), changes + 2);
    control.UnlockRender();

    // Toggled off, the map goes; toggled on again, it comes back at the same place.
    const platform::Rect place = platform::GetWindowRect(handle);
    control.ToggleMap();
    EXPECT_EQ(control.FindMapWindow(), nullptr);
    EXPECT_FALSE(platform::IsWindow(handle));
    control.ToggleMap();
    ASSERT_NE(control.FindMapWindow(), nullptr);
    const platform::Rect again = platform::GetWindowRect(control.FindMapWindow()->frame->handle);
    EXPECT_EQ(again.left, place.left);
    EXPECT_EQ(again.top, place.top);
    EXPECT_TRUE(platform::DestroyWindow(life.window));
    EXPECT_EQ(SavedViewWindow::OpenCount(), 0);
}

TEST(MapNavigator, ZonesOfThePictureAndTheEyeLimits) {
    struct Case {
        double px, py;  // on a 100 x 100 picture, py from its bottom
        int button;
    };
    for (const Case& c :
         {Case{10, 60, 1}, Case{10, 50, 2}, Case{19.9, 0, 2}, Case{20, 70, 3}, Case{50, 50, 4},
          Case{74, 33.3, 5}, Case{75, 40, 6}, Case{80, 45, 7}, Case{80, 65, 8}, Case{99, 80, 9},
          Case{99, 99, 10}, Case{100, 50, 0}, Case{50, -1, 0}})
        EXPECT_EQ(MapWindow::NavigatorButton(c.px, c.py, 100, 100), c.button)
            << c.px << "," << c.py;

    // The eye stays between 10 and 3000 however often it is moved.
    Window main([](int) { return nullptr; });
    main.camera.SetVector(0, Vector(0, -2990, 0));
    MapWindow::RaiseEye(main, -54.0);
    EXPECT_EQ(main.camera.GetVector(0).y, -3000.0);
    main.camera.SetVector(0, Vector(0, -40, 0));
    MapWindow::RaiseEye(main, 54.0);
    EXPECT_EQ(main.camera.GetVector(0).y, -10.0);
}

}  // namespace
