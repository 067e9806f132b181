#include <gtest/gtest.h>

#include <vector>

#include "building/DormerWall.h"
#include "building/Roof.h"
#include "control/Defaults.h"
#include "slabs/Dormer.h"
#include "slabs/DormerCreator.h"
#include "support/EditorScene.h"

namespace {

// A roof plane that the pick finds: its outline drawn under the plane's and its inside
// surface's names. (The creator needs only the pick.)
class PickedRoof : public Roof {
public:
    PickedRoof() : Roof(false) {}
    void Render() override {
        glLoadName(GetPickName());
        glPushName(GetSurface(kInsideSurface)->GetPickName());
        glBegin(GL_POLYGON);
        for (const Vector& p : GetOutline().GetPositions()) glVertex3d(p.x, p.y, p.z);
        glEnd();
        glPopName();
        // Its dormers just in front of it, under their own names.
        for (LinkedListObject* node = GetHoleList().GetHead(); node; node = node->GetNext()) {
            auto* dormer = dynamic_cast<Dormer*>(node);
            if (!dormer) continue;
            glPushName(dormer->GetPickName());
            // The hole runs against the roof's face: seen from the back.
            glPushAttrib(GL_ENABLE_BIT);
            glDisable(GL_CULL_FACE);
            glBegin(GL_POLYGON);
            for (const Vector& p : dormer->GetOutline().GetPositions())
                glVertex3d(p.x, p.y, p.z + 0.5);
            glEnd();
            glPopAttrib();
            glPopName();
        }
    }
};

int CountWalls(BaseControl& control) {
    int count = 0;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (dynamic_cast<DormerWall*>(node)) ++count;
    return count;
}

// The editor scene looks down -z; the roof plane slopes back as it rises, from scene x
// -30 to 30 and y -20 to 20 (pixels 2..62 across, 4..44 down).
class DormerCreatorGlTest : public ::testing::Test {
protected:
    DormerCreatorGlTest() : scene(true) {
        SetFactoryDefaults(*scene.control);
        roof = new PickedRoof;
        const Vector nodes[4] = {Vector(-30, -20, 10), Vector(30, -20, 10), Vector(30, 20, -10),
                                 Vector(-30, 20, -10)};
        for (int i = 0; i < 4; ++i) roof->GetOutline().InsertPoint(nodes[i], i, false);
        roof->GetOutline().ComputeNormal();
        roof->AllocateRoofArrays();
        scene.control->scene.Append(roof);
    }
    Dormer* FirstDormer() { return dynamic_cast<Dormer*>(roof->GetHoleList().GetHead()); }

    EditorScene scene;
    PickedRoof* roof = nullptr;
};

TEST_F(DormerCreatorGlTest, ADragOnARoofDrawsADormerWithItsWallsAsOneUndoStep) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    scene.control->HandleCommand(423);
    ASSERT_EQ(scene.Mode(), DormerCreator::kMode);
    scene.Key(platform::VK_SHIFT, true);
    scene.Drag({{22, 34}, {32, 30}, {42, 24}});
    scene.Key(platform::VK_SHIFT, false);
    Dormer* dormer = FirstDormer();
    ASSERT_NE(dormer, nullptr);
    EXPECT_EQ(dormer->GetOutline().GetPrimaryCount(), 4);
    // The drawing hands over to the roof editor, which leaves the dormer: its walls stand.
    EXPECT_EQ(scene.Mode(), 2);
    EXPECT_EQ(CountWalls(*scene.control), 3);
    EXPECT_EQ(scene.UndoGroups(), 1);

    // Undo takes the dormer back with its walls; redo brings both again.
    BaseControl& control = *scene.control;
    control.Undo();
    EXPECT_EQ(FirstDormer(), nullptr);
    EXPECT_EQ(CountWalls(control), 0);
    control.Redo();
    dormer = FirstDormer();
    ASSERT_NE(dormer, nullptr);
    EXPECT_EQ(CountWalls(control), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(dormer->GetWall(i), nullptr);
        EXPECT_EQ(dormer->GetWall(i)->GetDormer(), dormer);
    }

    // In the roof editor a double click on the dormer switches it back to its outline.
    ASSERT_FALSE(dormer->IsOutlineMode());
    scene.Click(32, 30);
    scene.Mouse(platform::WM_LBUTTONDBLCLK, 32, 30);
    EXPECT_EQ(scene.Mode(), 2);
    EXPECT_TRUE(dormer->IsOutlineMode());
    scene.Mouse(platform::WM_LBUTTONUP, 32, 30);
    EXPECT_EQ(CountWalls(control), 3);
    EXPECT_EQ(control.GetUndoList().GroupDepth(), 0);
}

TEST_F(DormerCreatorGlTest, ADragOnAnythingButARoofDrawsNothing) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    scene.control->scene.Remove(roof);
    delete roof;
    roof = nullptr;
    Wall* wall = new Wall(Vector(-30, -20, 0));
    wall->MoveEndTo(Vector(30, -20, 0), wall->GetWallEndIndex());
    wall->SetThickness(6.0);
    wall->UpdateLinkedPoints();
    wall->SetSizeY(40.0);
    wall->SetSelected(false);
    scene.control->scene.Append(wall);
    scene.control->HandleCommand(423);
    scene.Drag({{22, 34}, {32, 30}, {42, 24}});
    EXPECT_EQ(wall->GetHoleList().GetCount(), 0);
    EXPECT_EQ(scene.UndoGroups(), 0);
    EXPECT_EQ(scene.Mode(), DormerCreator::kMode);
}

}  // namespace
