#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "building/Wall.h"
#include "control/Defaults.h"
#include "slabs/ParametricDoor.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabCoveringCreator.h"
#include "slabs/SlabHole.h"
#include "slabs/SlabHoleCreator.h"
#include "support/EditorScene.h"

namespace {

// A wall that the pick finds: its inside face is drawn under the wall's and the face's
// names. (Walls draw their faces with the slab drawing; the creators need only the
// pick.)
class PickedWall : public Wall {
public:
    explicit PickedWall(const Vector& base) : Wall(base) {}
    void Render() override {
        glLoadName(GetPickName());
        glPushName(GetSurface(kInsideSurface)->GetPickName());
        glBegin(GL_POLYGON);
        for (const Vector& p : GetOutline().GetPositions()) glVertex3d(p.x, p.y, p.z);
        glEnd();
        glPopName();
    }
};

// The editor scene looks down -z: a wall along x stands face-on, from scene x -30 to 30
// and y -20 to 20 (pixels 2..62 across, 4..44 down).
class SlabHoleCreatorGlTest : public ::testing::Test {
protected:
    SlabHoleCreatorGlTest() {
        SetFactoryDefaults(*scene.control);
        auto* w = new PickedWall(Vector(-30, -20, 0));
        w->MoveEndTo(Vector(30, -20, 0), w->GetWallEndIndex());
        w->SetThickness(6.0);
        w->UpdateLinkedPoints();
        w->SetSizeY(40.0);
        w->SetSelected(false);
        scene.control->scene.Append(w);
        wall = w;
    }
    ~SlabHoleCreatorGlTest() override { scene.control->globalState.SetBoolean(32, false); }

    SlabHole* Hole() { return dynamic_cast<SlabHole*>(wall->GetHoleList().GetHead()); }

    EditorScene scene;
    Wall* wall = nullptr;
};

TEST_F(SlabHoleCreatorGlTest, ADragCutsAHoleAlongTheWallAsOneUndoGroup) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    ASSERT_TRUE(scene.view.SetMouseMode(SlabHoleCreator::kMode));
    // Shift: the dragged corner does not snap to the grid.
    scene.Key(platform::VK_SHIFT, true);
    scene.Drag({{22, 14}, {30, 20}, {36, 26}, {42, 34}});
    scene.Key(platform::VK_SHIFT, false);
    SlabHole* hole = Hole();
    ASSERT_NE(hole, nullptr);
    // From scene (-10, 10) to (10, -10), sides along and across the wall.
    const BoundingBox box = hole->GetBoundingBox();
    EXPECT_NEAR(box.min.x, -10.0, 1.25);
    EXPECT_NEAR(box.max.x, 10.0, 1.25);
    EXPECT_NEAR(box.min.y, -10.0, 1.25);
    EXPECT_NEAR(box.max.y, 10.0, 1.25);
    EXPECT_TRUE(hole->GetOutline().IsRectangle());
    EXPECT_EQ(hole->GetDoorOrWindow(), nullptr);
    // The wall's own edit mode takes over with the wall selected.
    EXPECT_EQ(scene.Mode(), 3);
    EXPECT_TRUE(wall->IsSelected());
    EXPECT_EQ(scene.UndoGroups(), 1);
    scene.control->Undo();
    EXPECT_EQ(wall->GetHoleList().GetCount(), 0u);
    scene.control->Redo();
    ASSERT_EQ(wall->GetHoleList().GetCount(), 1u);
    EXPECT_NEAR(Hole()->GetBoundingBox().max.x, box.max.x, 1e-6);
}

TEST_F(SlabHoleCreatorGlTest, TheDrawDoorSettingGivesTheHoleADoorOnce) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    scene.control->globalState.SetBoolean(32, true);
    ASSERT_TRUE(scene.view.SetMouseMode(SlabHoleCreator::kMode));
    scene.Drag({{12, 42}, {20, 30}, {26, 10}});
    ASSERT_NE(Hole(), nullptr);
    EXPECT_NE(dynamic_cast<ParametricDoor*>(Hole()->GetDoorOrWindow()), nullptr);
    EXPECT_FALSE(scene.control->globalState.GetBoolean(32));
    // Leaving the mode after choosing a door without drawing clears the setting too.
    ASSERT_TRUE(scene.view.SetMouseMode(SlabHoleCreator::kMode));
    scene.control->globalState.SetBoolean(32, true);
    ASSERT_TRUE(scene.view.SetMouseMode(0));
    EXPECT_FALSE(scene.control->globalState.GetBoolean(32));
}

TEST_F(SlabHoleCreatorGlTest, ACoveringIsDrawnOnTheFaceAndHolesAreCutUnderIt) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    ASSERT_TRUE(scene.view.SetMouseMode(SlabCoveringCreator::kMode));
    scene.Drag({{10, 12}, {30, 24}, {54, 38}});
    auto* covering = dynamic_cast<SlabCovering*>(wall->GetCoveringList().GetHead());
    ASSERT_NE(covering, nullptr);
    // Lifted off the middle plane to the face the press was on.
    EXPECT_GT(std::fabs(covering->GetOutline().GetPrimaryPoints()[0].position.z), 3.0);
    EXPECT_EQ(scene.Mode(), 3);
    // A hole drawn where the covering lies is cut into the wall, and the view hides
    // coverings from the pick as before afterwards.
    const int64_t hidden = scene.view.viewFlags.GetInt64(0);
    ASSERT_TRUE(scene.view.SetMouseMode(SlabHoleCreator::kMode));
    scene.Drag({{24, 20}, {30, 26}, {40, 30}});
    EXPECT_EQ(wall->GetHoleList().GetCount(), 1u);
    EXPECT_EQ(scene.view.viewFlags.GetInt64(0), hidden);
}

TEST_F(SlabHoleCreatorGlTest, APressBesideTheWallLeavesTheModeIdle) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    ASSERT_TRUE(scene.view.SetMouseMode(SlabHoleCreator::kMode));
    scene.Drag({{32, 46}, {40, 47}, {50, 47}});
    EXPECT_EQ(wall->GetHoleList().GetCount(), 0u);
    EXPECT_EQ(scene.Mode(), SlabHoleCreator::kMode);
    EXPECT_EQ(scene.UndoGroups(), 0);
}

}  // namespace
