#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/EditorScene.h"

namespace {

class MouseHandlerGlTest : public ::testing::Test {
protected:
    uint32_t SingleClickPeriod() const {
        return platform::GetTimerPeriod(scene.viewHandle, MouseHandler::kSingleClickTimer);
    }

    EditorScene scene;
};

// A click on a door opens it once the double-click time has passed, and leaves the
// selection alone; a double click drops the pending click; a door that goes before the
// time is up is not reached.
TEST_F(MouseHandlerGlTest, SingleClickOpensTheClickedDoorUnlessADoubleClickFollows) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* cabinet = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 0, 0));
    cabinet->AddDoor();
    PartAnimation& door = *cabinet->door->GetAnimation();
    Block* other = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 20, 0));
    other->SetSelected(true);

    scene.Click(32, 24);
    EXPECT_EQ(SingleClickPeriod(), MouseHandler::kSingleClickMs);
    EXPECT_EQ(door.state, PartAnimation::kClosed);
    EXPECT_TRUE(other->IsSelected()) << "a click on a door selects nothing";
    scene.Timer(MouseHandler::kSingleClickTimer);
    EXPECT_EQ(door.state, PartAnimation::kOpening);
    EXPECT_EQ(SingleClickPeriod(), 0u);
    EXPECT_FALSE(other->IsSelected());

    // A double click: press, release, the double click, release.
    door.state = PartAnimation::kClosed;
    scene.Click(32, 24);
    scene.Mouse(platform::WM_LBUTTONDBLCLK, 32, 24);
    EXPECT_EQ(SingleClickPeriod(), 0u);
    scene.Mouse(platform::WM_LBUTTONUP, 32, 24);
    EXPECT_EQ(SingleClickPeriod(), 0u);
    EXPECT_EQ(door.state, PartAnimation::kClosed);

    // The door goes (its cabinet replaced, say) between the click and the timer.
    scene.Click(32, 24);
    cabinet->door.reset();
    scene.Timer(MouseHandler::kSingleClickTimer);
    EXPECT_EQ(MouseHandler::Input().rememberedPart, 0u);
}

// A right click opens the picked object's menu with the base's entries; "Delete" takes
// the object out inside one undo group, whose step the object ends itself. A right drag
// opens no menu, nor does a click on nothing.
TEST_F(MouseHandlerGlTest, RightClickRunsTheObjectMenu) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* model = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 0, 0));
    Block* floor = scene.Add(new Block(TypeMask::kFloor, KindCode::kFloor, 20, 0));
    std::vector<std::vector<std::string>> menus;
    uint32_t choice = 0;
    platform::SetMenuChooser([&](const platform::Menu& menu) {
        // The views go on drawing while the menu is up.
        EXPECT_FALSE(scene.control->RenderLock().IsHeld());
        std::vector<std::string> texts;
        for (size_t i = 0; i < menu.GetItemCount(); ++i)
            if (menu.GetItem(i).IsCommand()) texts.push_back(menu.GetItem(i).text);
        menus.push_back(texts);
        return choice;
    });
    auto rightClick = [&](int x0, int y0, int x1, int y1) {
        scene.Mouse(platform::WM_RBUTTONDOWN, x0, y0);
        scene.Mouse(platform::WM_MOUSEMOVE, x1, y1);
        scene.Mouse(platform::WM_RBUTTONUP, x1, y1);
    };

    rightClick(52, 24, 52, 24);
    ASSERT_EQ(menus.size(), 1u);
    const std::vector<std::string> slabEntries = {"Hide",   "Lock",         "Select Object",
                                                  "Delete", "Make Default", "Properties"};
    for (const std::string& entry : slabEntries)
        EXPECT_NE(std::find(menus[0].begin(), menus[0].end(), entry), menus[0].end()) << entry;

    // A first move of 9 pixels is no drag: the menu still opens.
    choice = MouseHandler::kDeleteCommand;
    rightClick(27, 24, 36, 24);
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(std::find(menus[1].begin(), menus[1].end(), "Make Default"), menus[1].end())
        << "only slabs offer their defaults";
    EXPECT_FALSE(scene.control->scene.Contains(model));
    EXPECT_TRUE(scene.control->deletedObjects.Contains(model));
    EXPECT_EQ(model->calls, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(scene.UndoGroups(), 1);

    rightClick(52, 24, 52, 60);  // a drag
    rightClick(5, 5, 5, 5);      // nothing there
    EXPECT_EQ(menus.size(), 2u);
    EXPECT_TRUE(scene.control->scene.Contains(floor));
}

// A middle click switches to orbiting when it is released where it was pressed.
TEST_F(MouseHandlerGlTest, MiddleClickInPlaceSwitchesToOrbit) {
    ASSERT_TRUE(scene.HasOpenGL());
    scene.Mouse(platform::WM_MBUTTONDOWN, 30, 20);
    scene.Mouse(platform::WM_MOUSEMOVE, 40, 20);
    scene.Mouse(platform::WM_MBUTTONUP, 40, 20);
    EXPECT_EQ(scene.Mode(), 0);
    scene.Mouse(platform::WM_MBUTTONDOWN, 30, 20);
    scene.Mouse(platform::WM_MOUSEMOVE, 31, 20);
    scene.Mouse(platform::WM_MOUSEMOVE, 30, 20);
    scene.Mouse(platform::WM_MBUTTONUP, 30, 20);
    EXPECT_EQ(scene.Mode(), MouseHandler::kOrbitMode);
}

// Digits choose the working floor; Delete removes the selection; the zoom keys zoom as
// one view change that ends a second after their release.
TEST_F(MouseHandlerGlTest, KeysChooseTheFloorDeleteAndZoom) {
    ASSERT_TRUE(scene.HasOpenGL());
    scene.control->wallState.SetDouble(5, 100.0);
    scene.control->floorState.SetDouble(9, 10.0);
    scene.Key('3', true);
    scene.Key('3', false);
    EXPECT_EQ(scene.control->floorState.GetDouble(4), 2 * 100.0 + 10.0 + 1.0);

    Block* model = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 0, 0));
    model->SetSelected(true);
    scene.Key(platform::VK_DELETE, true);
    scene.Key(platform::VK_DELETE, false);
    EXPECT_FALSE(scene.control->scene.Contains(model));

    scene.view.viewUndoStack.DeleteAll();
    scene.Key(platform::VK_ADD, true);
    scene.Key(platform::VK_ADD, true);
    EXPECT_EQ(scene.view.camera.GetVector(2).x, 32 - 2 * 7);
    scene.Key(platform::VK_ADD, false);
    EXPECT_EQ(platform::GetTimerPeriod(scene.viewHandle, MouseHandler::kZoomKeyTimer), 1000u);
    EXPECT_EQ(scene.view.viewUndoStack.GetCount(), 0u);
    scene.Timer(MouseHandler::kZoomKeyTimer);
    ASSERT_EQ(scene.view.viewUndoStack.GetCount(), 1u);
    ASSERT_TRUE(scene.view.UndoViewChange());
    EXPECT_EQ(scene.view.camera.GetVector(2).x, 32);
    // A zoom that would bring the view's half height to 10 or below is not made.
    scene.Key(platform::VK_ADD, true);
    scene.Key(platform::VK_ADD, true);
    scene.Key(platform::VK_ADD, true);
    EXPECT_EQ(scene.view.camera.GetVector(2).x, 18);
    scene.Key(platform::VK_ADD, false);
}

}  // namespace
