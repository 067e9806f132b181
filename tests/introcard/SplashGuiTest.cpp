// The splash on the X display: its picture shows centred in a window without a frame,
// and the window goes once its time is up.

#include <gtest/gtest.h>

#include <string>

#include "introcard/IntrocardResources.h"
#include "introcard/KVRSplash.h"
#include "platform/Window.h"
#include "support/XDisplayDriver.h"

using namespace platform;

TEST(SplashGuiTest, ShowsItsPictureCentredAndClosesWhenItsTimeIsUp) {
    if (!xdriver::HaveDisplay()) GTEST_SKIP() << "no X display";
    PumpUntilIdle();  // this thread runs the display
    DecodedImage picture;
    ASSERT_TRUE(LoadBitmapResource(kSplashBitmapId, picture));
    RefPtr<IKVRSplash> splash;
    ASSERT_EQ(KVRSplash::MakeFactory()->CreateInstance(IKVRSplash::kIid,
                                                      reinterpret_cast<void**>(splash.OutParam())),
              S_OK);
    ASSERT_EQ(splash->CreateSplash(), S_OK);
    ASSERT_EQ(splash->SetTimer(6000), S_OK);
    SplashScreen* shown = static_cast<KVRSplash*>(splash.Get())->Showing();
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(xdriver::PumpUntil([&] { return IsWindow(shown->Window()); }));
    const WindowHandle window = shown->Window();
    const Rect area = GetWorkArea();
    const Rect at = GetWindowRect(window);
    EXPECT_EQ(at.left, (area.right - area.left - picture.width) / 2);
    EXPECT_EQ(at.top, (area.bottom - area.top - picture.height) / 2);
    EXPECT_TRUE(IsWindowFrameless(window));
    xdriver::PumpFor(500);

    // What the screen shows there is the picture.
    const std::string shot = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/splash";
    xdriver::Run("import -window root -crop " + std::to_string(picture.width) + "x" +
                 std::to_string(picture.height) + "+" + std::to_string(at.left) + "+" +
                 std::to_string(at.top) + " -depth 8 ppm:" + shot + ".ppm");
    const std::string probe = xdriver::Run(
        "convert " + shot + ".ppm -format '%[fx:int(255*p{" + std::to_string(picture.width / 2) +
        "," + std::to_string(picture.height / 2) + "}.r)] %[fx:int(255*p{" +
        std::to_string(picture.width / 2) + "," + std::to_string(picture.height / 2) +
        "}.g)]' info:");
    const uint8_t* centre =
        picture.pixels.data() +
        (size_t(picture.height / 2) * picture.width + picture.width / 2) * 3;
    EXPECT_EQ(probe, std::to_string(centre[0]) + " " + std::to_string(centre[1]));

    // Asked to close before its time: it stays until the time is up, then goes.
    ASSERT_EQ(splash->CloseWindow(), S_OK);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(xdriver::PumpUntil([&] { return !IsWindow(window); }, 10000));
    xdriver::PumpFor(200);
    EXPECT_EQ(xdriver::Run("xwininfo -root -tree | grep -c '" + std::to_string(picture.width) +
                           "x" + std::to_string(picture.height) + "+" +
                           std::to_string(at.left) + "+" + std::to_string(at.top) + "'"),
              "0");
    splash.Reset();
}
