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

// The slab editor's drag of a hole, with the press's pick records as the window keeps
// them: the wall, the hole, then what was hit in it.
TEST_F(SlabHoleCreatorGlTest, DraggedHolesMoveAlongTheAxisAskedAndRefusedEdgesGoBack) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    const Vector a[4] = {Vector(-20, -10, 0), Vector(-5, -10, 0), Vector(-5, 10, 0),
                         Vector(-20, 10, 0)};
    const Vector b[4] = {Vector(5, -10, 0), Vector(20, -10, 0), Vector(20, 10, 0),
                         Vector(5, 10, 0)};
    SlabHole* hole = wall->CreateHole(a, 4);
    ASSERT_NE(wall->CreateHole(b, 4), nullptr);
    auto pick = [&](std::initializer_list<PickableObject*> names) {
        scene.view.selectionBuffer[0] = static_cast<uint32_t>(names.size());
        int i = 3;
        for (PickableObject* name : names) scene.view.selectionBuffer[i++] = name->GetPickName();
    };
    auto corners = [&] { return hole->GetOutline().GetPositions(); };
    // The body: pixel (px, py) is scene (px - 32, 24 - py). A wall's u vector points up.
    // In the blueprint view a hole in a wall keeps its height; along the u vector (up
    // the wall) alone it does not move at all.
    struct Case {
        bool constrain;
        int axis;
        double dx, dy;
    };
    for (const Case c : {Case{true, 1, 0.0, 0.0}, Case{true, 2, -2.0, 0.0},
                         Case{false, 0, -2.0, 0.0}}) {
        pick({wall, hole, &hole->GetSideSurface()});
        const std::vector<Vector> before = corners();
        const Vector grab = hole->GetGrabPoint(22, 24);
        hole->DragPoint(20, 19, 22, 24, 2, grab, c.constrain, c.axis);
        const std::vector<Vector> after = corners();
        EXPECT_NEAR(after[0].x - before[0].x, c.dx, 0.75) << c.axis;
        EXPECT_NEAR(after[0].y - before[0].y, c.dy, 0.75) << c.axis;
        hole->MoveBy(Vector(before[0].x - after[0].x, before[0].y - after[0].y, 0));
    }
    // The right edge dragged into the other hole goes back exactly.
    const std::vector<Vector> before = corners();
    int edge = 0;
    for (int i = 0; i < 4; ++i)
        if (std::fabs(before[i].x - before[(i + 1) % 4].x) < 1e-9 && before[i].x > -10) edge = i;
    OutlinePoint& node = hole->GetOutline().GetPrimaryPoints()[edge];
    pick({wall, hole, node.edge, &node});
    hole->DragPoint(32 + 8, 24, 32 - 5, 24, 3, Vector(0, 0, 0), true, 0);
    const std::vector<Vector> after = corners();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) EXPECT_TRUE(after[i].Equals(before[i])) << i;
    // A locked wall refuses the drag.
    wall->SetLocked(true);
    pick({wall, hole, &hole->GetSideSurface()});
    hole->DragPoint(20, 19, 22, 24, 2, hole->GetGrabPoint(22, 24), false, 0);
    EXPECT_TRUE(corners()[0].Equals(before[0]));
}

}  // namespace
