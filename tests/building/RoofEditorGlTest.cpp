#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "building/Roof.h"
#include "building/RoofEditor.h"
#include "building/RoofGroup.h"
#include "building/RoofGroupEditor.h"
#include "control/Defaults.h"
#include "slabs/Dormer.h"
#include "support/EditorScene.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

std::vector<RoofGroup*> Groups(BaseControl& control) {
    std::vector<RoofGroup*> groups;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* group = dynamic_cast<RoofGroup*>(node)) groups.push_back(group);
    return groups;
}

int CountPlanes(BaseControl& control) {
    int count = 0;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (dynamic_cast<Roof*>(node)) ++count;
    return count;
}

// The editor scene with the product's own modes. In perspective the camera stands 100
// above the ground and 200 back, looking along -z: the lower half of the view shows the
// ground.
class RoofEditorGlTest : public ::testing::Test {
protected:
    RoofEditorGlTest() : scene(true) {
        SetFactoryDefaults(*scene.control);
        scene.control->floorState.SetDouble(4, 0.0);
    }
    void Perspective() {
        scene.view.viewFlags.SetInteger(0, Window::kPerspectiveView);
        scene.view.camera.SetVector(0, Vector(0, -100, -200));
        scene.view.camera.SetVector(1, Vector(0, 0, 0));
        scene.view.camera.SetVector(2, Vector(200, 200 / scene.view.aspect, 0));
        scene.DrawFrame();
    }
    int GroupDepth() { return scene.control->GetUndoList().GroupDepth(); }
    BaseControl& Control() { return *scene.control; }

    EditorScene scene;
};

TEST_F(RoofEditorGlTest, DraggingOutARoofMakesGablePlanesInOneClosedUndoGroup) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    // In the blueprint view nothing is started.
    scene.control->HandleCommand(422);
    ASSERT_EQ(scene.Mode(), RoofGroupEditor::kMode);
    scene.Drag({{14, 30}, {30, 36}, {50, 44}});
    EXPECT_TRUE(Groups(*scene.control).empty());
    EXPECT_EQ(scene.UndoGroups(), 0);
    EXPECT_EQ(GroupDepth(), 0);

    Perspective();
    scene.control->HandleCommand(422);
    scene.Drag({{14, 30}, {30, 36}, {50, 44}});
    std::vector<RoofGroup*> groups = Groups(*scene.control);
    ASSERT_EQ(groups.size(), 1u);
    RoofGroup* group = groups[0];
    EXPECT_TRUE(group->AreRoofsCreated());
    EXPECT_EQ(group->CountPlanes(), 2);
    EXPECT_EQ(CountPlanes(*scene.control), 2);
    EXPECT_GT(group->GetLength(), 10.0);
    EXPECT_GT(group->GetWidth(), 10.0);
    EXPECT_EQ(scene.UndoGroups(), 1);
    EXPECT_EQ(GroupDepth(), 0);
    EXPECT_TRUE(group->IsSelected());
    EXPECT_TRUE(group->IsWireframe());

    // A double click on the group toggles its outline drawing, as one undo step.
    const std::string before = plan_stream::Keys(*group);
    scene.Click(30, 38);
    scene.Mouse(platform::WM_LBUTTONDBLCLK, 30, 38);
    scene.Mouse(platform::WM_LBUTTONUP, 30, 38);
    EXPECT_FALSE(group->IsWireframe());
    EXPECT_EQ(GroupDepth(), 0);
    const std::string after = plan_stream::Keys(*group);
    ASSERT_NE(before, after);
    Control().Undo();
    EXPECT_EQ(plan_stream::Keys(*group), before);
    Control().Redo();
    EXPECT_EQ(plan_stream::Keys(*group), after);

    // Undoing the drawing takes the group and its planes away.
    for (int i = 0; i < 8 && Control().GetUndoList().UndoEntries().GetCount() > 0; ++i)
        Control().Undo();
    EXPECT_TRUE(Groups(*scene.control).empty());
    EXPECT_EQ(CountPlanes(*scene.control), 0);
}

TEST_F(RoofEditorGlTest, AFootprintWithoutAreaLeavesNoRoofAndNoUndoStep) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    Perspective();
    scene.control->HandleCommand(422);
    // Out and back to the press point.
    scene.Drag({{20, 34}, {36, 40}, {20, 34}});
    EXPECT_TRUE(Groups(*scene.control).empty());
    EXPECT_EQ(CountPlanes(*scene.control), 0);
    EXPECT_EQ(scene.UndoGroups(), 0);
    EXPECT_EQ(GroupDepth(), 0);
}

TEST_F(RoofEditorGlTest, LeavingTheModeMidDragClosesTheUndoGroup) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    Perspective();
    scene.control->HandleCommand(422);
    platform::SetKeyState(platform::VK_LBUTTON, true);
    scene.Mouse(platform::WM_LBUTTONDOWN, 14, 30);
    scene.Mouse(platform::WM_MOUSEMOVE, 30, 36);
    scene.Mouse(platform::WM_MOUSEMOVE, 50, 44);
    EXPECT_EQ(GroupDepth(), 1);
    ASSERT_TRUE(scene.view.SetMouseMode(0));
    EXPECT_EQ(GroupDepth(), 0);
    platform::SetKeyState(platform::VK_LBUTTON, false);
    scene.Mouse(platform::WM_LBUTTONUP, 50, 44);
    EXPECT_EQ(GroupDepth(), 0);

    // The plane editor closes what a press opened when the mode goes, too.
    ASSERT_TRUE(scene.view.SetMouseMode(RoofEditor::kMode));
    EXPECT_TRUE(scene.view.viewFlags.GetBoolean(4)) << "roof nodes shown while drawing";
    ASSERT_TRUE(scene.view.SetMouseMode(0));
    EXPECT_FALSE(scene.view.viewFlags.GetBoolean(4));
    EXPECT_EQ(GroupDepth(), 0);
}

TEST_F(RoofEditorGlTest, ClickedWallCornersMakeAFreePlaneAtTheThirdCorner) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    Wall* front = MakeWall(Vector(-20, -10, 0), Vector(20, -10, 0), 30.0, 4.0);
    Wall* back = MakeWall(Vector(-20, -10, -40), Vector(20, -10, -40), 20.0, 4.0);
    scene.control->scene.Append(front);
    scene.control->scene.Append(back);
    scene.control->HandleCommand(421);
    ASSERT_EQ(scene.Mode(), RoofEditor::kMode);
    auto* editor = dynamic_cast<RoofEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    // A click whose pick was a wall's top corner (or, with no corner, the wall's face),
    // confirmed by the single-click timer.
    auto click = [&](Wall* wall, int node) {
        scene.Click(32, 40);
        uint32_t* picks = scene.view.selectionBuffer;
        picks[0] = 2;
        picks[3] = wall->GetPickName();
        picks[4] = node >= 0 ? wall->GetOutline().GetPrimaryPoints()[node].GetPickName()
                             : wall->GetSurface(BaseSlab::kInsideSurface)->GetPickName();
        MouseHandler::Input().pickCount = 2;
        scene.Timer(MouseHandler::kSingleClickTimer);
    };
    click(front, 3);
    click(front, 2);
    ASSERT_NE(editor->GetTarget(), nullptr);
    EXPECT_EQ(editor->GetTarget()->GetOutline().GetPrimaryCount(), 2);
    // The first corner again adds nothing, nor does a wall's face; nothing is in the
    // scene yet.
    click(front, 3);
    click(back, -1);
    EXPECT_EQ(editor->GetTarget()->GetOutline().GetPrimaryCount(), 2);
    EXPECT_EQ(CountPlanes(*scene.control), 0);
    click(back, 2);
    EXPECT_EQ(CountPlanes(*scene.control), 1);
    EXPECT_EQ(scene.UndoGroups(), 1);
    EXPECT_EQ(GroupDepth(), 0);
    Control().Undo();
    EXPECT_EQ(CountPlanes(*scene.control), 0);
    EXPECT_EQ(editor->GetTarget(), nullptr);
}

}  // namespace
