#include <gtest/gtest.h>

#include <cstring>

#include "control/BaseControl.h"
#include "platform/RegistryStore.h"
#include "support/SceneFixtures.h"

namespace {

// A control whose main window stands at a settable place on a 1024 x 768 screen.
class PlacedControl : public SceneTestControl {
public:
    platform::Rect GetMainWindowScreenRect() const override { return main; }
    Window* CreateMapWindow(const platform::Rect& rect, const char* url) override {
        made = rect;
        imageUrl = url;
        return nullptr;
    }
    platform::Rect main{100, 50, 500, 450};
    platform::Rect made;
    std::string imageUrl;
};

class ControlServicesTest : public ::testing::Test {
protected:
    ~ControlServicesTest() override {
        control.scene.DeleteAll();
        control.undoList.Clear();
    }

    ScopedProgramFolder programFolder;
    ScopedRegistry registry;
    PlacedControl control;
};

TEST_F(ControlServicesTest, FloorStepsGoOneStoreyAndStopAtSlabsBetween) {
    control.floorState.SetDouble(9, 0.0);
    control.wallState.SetDouble(5, 100.0);
    struct Case {
        double elevation;
        bool up;
        double floor;
    };
    for (const Case& c : {Case{200, true, 301}, Case{200, false, 101}, Case{250, true, 301},
                          Case{250, false, 201}, Case{0, false, 1.0}}) {
        EXPECT_DOUBLE_EQ(control.ElevationToFloor(c.elevation, c.up), c.floor)
            << c.elevation << (c.up ? " up" : " down");
    }
    // A floor slab whose top lies between stops the step; a wall does not.
    auto* slab = new TestItem(TypeMask::kFloor);
    slab->SetBox(0, 240, 0, 10, 260, 10);
    control.scene.Append(slab);
    auto* wall = new TestItem(TypeMask::kWall);
    wall->SetBox(0, 0, 0, 10, 280, 10);
    control.scene.Append(wall);
    EXPECT_DOUBLE_EQ(control.ElevationToFloor(200, true), 260);
    EXPECT_DOUBLE_EQ(control.ElevationToFloor(300, false), 260);

    // The level is one undo step.
    control.globalState.SetBoolean(6, true);
    control.floorState.SetDouble(4, 101);
    control.SetCurrentFloor(301);
    EXPECT_EQ(control.floorState.GetDouble(4), 301);
    EXPECT_EQ(control.GetCurrentFloorElevation(), 300);
    control.Undo();
    EXPECT_EQ(control.floorState.GetDouble(4), 101);
}

TEST_F(ControlServicesTest, TheMapWindowStandsBesideTheMainWindowAndOnTheScreen) {
    // First opening: right of the main window's width, as high as three quarters of it.
    platform::Rect map = control.PlaceMapWindow();
    EXPECT_EQ(map.left, 100 + 405);
    EXPECT_EQ(map.right, 100 + 405 + 175);
    EXPECT_EQ(map.top, 50 + 225);
    EXPECT_EQ(map.bottom, 50 + 400);

    // Later openings follow the main window; near the right edge it is moved left.
    control.main = {700, 60, 1100, 460};
    map = control.PlaceMapWindow();
    EXPECT_EQ(map.right, 1024);
    EXPECT_EQ(map.right - map.left, 175);
    EXPECT_EQ(map.top, 285);

    control.main = {-1000, -500, -600, -100};
    map = control.PlaceMapWindow();
    EXPECT_EQ(map.left, 0);
    EXPECT_EQ(map.top, 0);

    control.SetMapOffset(3, 4, 10, 20);
    EXPECT_EQ(control.mapRect[0], map.right - 10 + 3);
    EXPECT_EQ(control.mapRect[1], map.bottom - 20 + 4);

    // Without a display no window is made, so the toggle opens again.
    std::strcpy(control.contentDomain, "http://example.test/");
    control.ToggleMapWindow();
    EXPECT_EQ(control.imageUrl, "http://example.test/plansys/cameraMapWin.jpg");
    EXPECT_EQ(control.FindMapWindow(), nullptr);
}

TEST_F(ControlServicesTest, DragAndDropFollowsTheInternetZoneSetting) {
    EXPECT_FALSE(BaseControl::IsDragDropAllowed()) << "missing";
    auto store = platform::RegistryStore::ForCurrentUser();
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
    store->SetNumber32(platform::RegistryRoot::CurrentUser, key, "1802", 3);
    EXPECT_FALSE(BaseControl::IsDragDropAllowed()) << "disabled";
    EXPECT_TRUE(BaseControl::AllowDragDrop());
    EXPECT_TRUE(BaseControl::IsDragDropAllowed());
    store->SetString(platform::RegistryRoot::CurrentUser, key, "1802", "0");
    EXPECT_FALSE(BaseControl::IsDragDropAllowed()) << "a text is no number";
}

TEST_F(ControlServicesTest, VectorsAreThreeRegistryNumbers) {
    EXPECT_TRUE(BaseControl::RegistryWriteVector("views\\", "eye", Vector(1, 2, 3)));
    Vector v;
    EXPECT_TRUE(BaseControl::RegistryReadVector("views\\", "eye", v));
    EXPECT_EQ(v.x, 1.0);
    EXPECT_EQ(v.y, 2.0);
    EXPECT_EQ(v.z, 3.0);

    BaseControl::RegistryWriteDouble("views\\", "half0", 7.0);
    BaseControl::RegistryWriteDouble("views\\", "half1", 8.0);
    Vector kept(4, 5, 6);
    EXPECT_FALSE(BaseControl::RegistryReadVector("views\\", "half", kept));
    EXPECT_EQ(kept.x, 4.0) << "a partly stored vector changes nothing";
}

TEST(ControlText, TitlesAndCaseFolding) {
    struct Case {
        const char* path;
        const char* title;
    };
    for (const Case& c :
         {Case{"C:\\plans\\My House.kvp", "My House"}, Case{"/tmp/cache/plan[2].kvp", "plan"},
          Case{"noext", "noext"}, Case{"a[b.c", "a[b"}, Case{"", ""}}) {
        char title[260];
        EXPECT_STREQ(BaseControl::FileTitle(c.path, title, sizeof title), c.title) << c.path;
    }
    char small[4];
    EXPECT_STREQ(BaseControl::FileTitle("abcdefg.kvp", small, sizeof small), "abc");

    char text[] = "MiXeD ÄZ";
    EXPECT_EQ(BaseControl::CompareNoCase(text, "mixed \xc3\x84z"), 0);
    EXPECT_EQ(BaseControl::ToLowerChar('@'), '@');
    EXPECT_EQ(BaseControl::ToLowerChar('['), '[');
}

}  // namespace
