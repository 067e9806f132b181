#include "building/MoldingEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "slabs/BaseSlab.h"
#include "slabs/ParametricShape.h"
#include "slabs/SlabMolding.h"
#include "support/EditorScene.h"
#include "support/OutlineShapes.h"

namespace {

constexpr int kMoldingMode = 27;

// A floor-like slab in the plane z = 0, 2 thick, seen from above: picked as itself with
// its inside surface under it. Its inside face lies at z = 1.
class FaceSlab : public BaseSlab {
public:
    FaceSlab() {
        BuildOutline(outline, {Vector(-20, -15, 0), Vector(20, -15, 0), Vector(20, 15, 0),
                               Vector(-20, 15, 0)});
        thickness = 2.0;
        uVector = Vector(1, 0, 0);
        AllocateOutlineArrays();
    }
    int GetKindCode() const override { return KindCode::kFloor; }
    void RecomputeBounds() override {
        const Vector n = outline.normal;
        for (int i = 0; i < facePointCount && i < outline.GetPrimaryCount(); ++i) {
            const Vector& p = outline.GetPrimaryPoints()[i].position;
            facePointsA[i] = Vector(p.x + n.x, p.y + n.y, p.z + n.z);
            facePointsB[i] = Vector(p.x - n.x, p.y - n.y, p.z - n.z);
        }
        ComputeBounds();
    }
    void Render() override {
        glLoadName(GetPickName());
        glPushName(GetSurface(kInsideSurface)->GetPickName());
        glBegin(GL_QUADS);
        glVertex3d(-20, -15, 0);
        glVertex3d(20, -15, 0);
        glVertex3d(20, 15, 0);
        glVertex3d(-20, 15, 0);
        glEnd();
        glPopName();
        // Its moldings, picked above the face.
        for (LinkedListObject* n = moldingList.GetHead(); n; n = n->GetNext()) {
            auto* m = dynamic_cast<SlabMolding*>(n);
            if (!m) continue;
            glLoadName(GetPickName());
            glPushName(m->GetPickName());
            glBegin(GL_LINES);
            glVertex3d(m->GetBegin().x, m->GetBegin().y, 2);
            glVertex3d(m->GetEnd().x, m->GetEnd().y, 2);
            glEnd();
            glPopName();
        }
    }
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("FaceSlab");
        WriteSlabKeys(*element->GetChildren());
    }
};

std::vector<SlabMolding*> Moldings(BaseSlab& slab) {
    std::vector<SlabMolding*> out;
    for (LinkedListObject* n = slab.GetMoldingList().GetHead(); n; n = n->GetNext())
        if (auto* m = dynamic_cast<SlabMolding*>(n)) out.push_back(m);
    return out;
}

class MoldingEditorGlTest : public ::testing::Test {
protected:
    MoldingEditorGlTest() {
        MoldingEditor::ResetTip();
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            tips.push_back(box.caption);
            return platform::MessageAnswer::Ok;
        });
        slab = new FaceSlab;
        s.control->scene.Append(slab);
        s.control->contentDomain[0] = 0;
        s.control->baseMoldingState.SetInteger(0, 1);
        s.view.SetMouseMode(kMoldingMode);
        s.DrawFrame();
    }

    EditorScene s;
    FaceSlab* slab = nullptr;
    std::vector<std::string> tips;
};

TEST_F(MoldingEditorGlTest, ADragOnAFaceDrawsOneMoldingThatUndoTakesAway) {
    if (!s.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    ASSERT_EQ(s.Mode(), kMoldingMode);
    // Scene (-12, 4) to (20, 4): a molding on the face z = 1, snapped to whole units.
    s.Drag({{20, 20}, {30, 20}, {40, 20}, {50, 20}, {52, 20}});
    std::vector<SlabMolding*> made = Moldings(*slab);
    ASSERT_EQ(made.size(), 1u);
    SlabMolding* m = made[0];
    EXPECT_EQ(m->GetParent(), slab);
    EXPECT_EQ(m->GetParentSurface(), BaseSlab::kInsideSurface);
    EXPECT_NEAR(m->GetBegin().x, -12.0, 0.6);
    EXPECT_NEAR(m->GetBegin().z, 1.0, 1e-6);
    EXPECT_NEAR(m->GetEnd().z, 1.0, 1e-6);
    const double length = m->GetSizeZ();
    EXPECT_NEAR(length, std::floor(length + 0.5), 1e-6);
    EXPECT_NEAR(length, 32.0, 1.0);
    EXPECT_EQ(m->GetShape()->GetType(), 1);
    EXPECT_FALSE(m->IsSelected());
    // The tip comes once in the run.
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(tips[0], "Molding Tips");
    EXPECT_EQ(s.UndoGroups(), 1);

    s.control->Undo();
    EXPECT_TRUE(Moldings(*slab).empty());
    s.control->Redo();
    EXPECT_EQ(Moldings(*slab).size(), 1u);

    // A second molding: no second tip; Shift keeps where the mouse put it.
    s.DrawFrame();
    s.Key(platform::VK_SHIFT, true);
    s.Drag({{20, 30}, {30, 30}, {45, 27}});
    s.Key(platform::VK_SHIFT, false);
    made = Moldings(*slab);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(tips.size(), 1u);
    EXPECT_NEAR(made[1]->GetEnd().x - made[1]->GetBegin().x, 25.0, 0.6);
    EXPECT_NEAR(made[1]->GetEnd().y - made[1]->GetBegin().y, 3.0, 0.6);
}

TEST_F(MoldingEditorGlTest, APressOnAMoldingOrBesideTheSlabDrawsNothing) {
    if (!s.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    s.Drag({{20, 20}, {30, 20}, {50, 20}});
    ASSERT_EQ(Moldings(*slab).size(), 1u);
    s.DrawFrame();
    const int groups = s.UndoGroups();
    // On the molding just drawn (it is picked above the face).
    s.Drag({{35, 20}, {40, 30}, {45, 40}});
    EXPECT_EQ(Moldings(*slab).size(), 1u);
    // Off the slab.
    s.Drag({{2, 2}, {8, 2}, {12, 4}});
    EXPECT_EQ(Moldings(*slab).size(), 1u);
    EXPECT_EQ(s.UndoGroups(), groups);
}

TEST_F(MoldingEditorGlTest, HandleDragsMoveEndsResizeAndMoveTheMolding) {
    if (!s.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    s.Drag({{20, 20}, {30, 20}, {40, 20}});
    ASSERT_EQ(Moldings(*slab).size(), 1u);
    SlabMolding* m = Moldings(*slab)[0];
    const double y = m->GetBegin().y;
    // The end handle: to (30, y) snapped to whole units and 15-degree steps.
    m->DragPoint(62, 20, 40, 20, &m->EndHandle(), true, 0);
    EXPECT_NEAR(m->GetEnd().x - m->GetBegin().x, 42.0, 1e-6);
    EXPECT_NEAR(m->GetEnd().y, y, 1e-6);
    // The width handle: the plane across the molding is seen edge-on from above, so the
    // pointer's vertical travel counts a third.
    const double width = m->GetShape()->GetRadius1();
    m->DragPoint(50, 26, 50, 20, &m->WidthHandle(0), false, 0);
    EXPECT_NEAR(m->GetShape()->GetRadius1(), width + 2.0, 1e-9);
    // The body: moved with the pointer on the face.
    const Vector before = m->GetBegin();
    m->DragPoint(45, 25, 40, 20, m, false, 0);
    EXPECT_NEAR(m->GetBegin().x - before.x, 5.0, 1e-6);
    EXPECT_NEAR(m->GetBegin().y - before.y, -5.0, 1e-6);
    EXPECT_NEAR(m->GetBegin().z, 1.0, 1e-6);
}

}  // namespace
