#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "building/DormerWall.h"
#include "building/Roof.h"
#include "geometry/ViewProjection.h"
#include "interaction/MouseHandler.h"
#include "slabs/Dormer.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

// The roof plane rises 2 for every 3 along z: y = 20 + z * 2 / 3.
double PlaneY(double z) {
    return 20.0 + z * 2.0 / 3.0;
}

Vector OnPlane(double x, double z) {
    return Vector(x, PlaneY(z), z);
}

// A free roof plane 300 wide and 240 deep, eave along x at z = 0.
Roof* AddRoof(WallScene& s) {
    auto* roof = new Roof(false);
    const Vector nodes[4] = {OnPlane(0, 0), OnPlane(300, 0), OnPlane(300, 240), OnPlane(0, 240)};
    for (int i = 0; i < 4; ++i) roof->GetOutline().InsertPoint(nodes[i], i, false);
    roof->GetOutline().ComputeNormal();
    roof->AllocateRoofArrays();
    s.control.scene.Append(roof);
    return roof;
}

// A dormer 80 wide whose front edge runs along the eave at z = 30, back at z = 90.
Dormer* AddDormer(Roof* roof) {
    const Vector corners[4] = {OnPlane(100, 30), OnPlane(180, 30), OnPlane(180, 90),
                               OnPlane(100, 90)};
    return roof->AddDormer(corners);
}

int CountWalls(BaseControl& control) {
    int count = 0;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (dynamic_cast<DormerWall*>(node)) ++count;
    return count;
}

Dormer* FirstDormer(BaseControl& control) {
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* roof = dynamic_cast<Roof*>(node))
            for (LinkedListObject* c = roof->GetHoleList().GetHead(); c; c = c->GetNext())
                if (auto* dormer = dynamic_cast<Dormer*>(c)) return dormer;
    return nullptr;
}

const Vector& Node(const Wall* wall, int i) {
    return wall->GetOutline().GetPrimaryPoints()[i].position;
}

// A child's "objectId" is the process's list id of the child: like the other ids, it is
// left out of comparisons.
std::vector<std::string> WithoutObjectIds(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) {
        return line.find("/objectId=") != std::string::npos;
    });
    return lines;
}

class DormerTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(DormerTest, LeavingOutlineModeBuildsThreeLinkedWallsOnTheRoof) {
    WallScene s;
    Roof* roof = AddRoof(s);
    Dormer* dormer = AddDormer(roof);
    ASSERT_NE(dormer, nullptr);
    EXPECT_TRUE(dormer->IsOutlineMode());
    EXPECT_EQ(CountWalls(s.control), 0);
    dormer->FindCornerIndices();
    // The low corners are the front edge along the eave.
    for (int c : {1, 3}) {
        ASSERT_GE(dormer->GetCornerIndex(c), 0);
        EXPECT_NEAR(dormer->GetOutline().GetPrimaryPoints()[dormer->GetCornerIndex(c)].position.z,
                    30.0, 1e-9);
    }

    dormer->SetSelected(false);
    ASSERT_TRUE(dormer->AreWallsBuilt());
    EXPECT_FALSE(dormer->IsOutlineMode());
    EXPECT_EQ(CountWalls(s.control), 3);
    DormerWall* side = dormer->GetWall(0);
    DormerWall* front = dormer->GetWall(1);
    DormerWall* other = dormer->GetWall(2);
    ASSERT_TRUE(side && front && other);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dormer->GetWall(i)->GetDormer(), dormer);
    // The side walls are triangles: no height at the back corner, their tops near the
    // upper corners' height.
    const double top = PlaneY(90.0);
    for (DormerWall* wall : {side, other}) {
        EXPECT_NEAR(wall->BeginHeight(), Dormer::kFootDepth, 1e-9);
        EXPECT_GT(Node(wall, 3).y, top);
        EXPECT_NEAR(Node(wall, 2).y, Node(wall, 3).y, 2.5);
    }
    // The front wall's foot stands level on the roof, and it is linked to both sides.
    EXPECT_EQ(front->GetLinkedBegin(), side);
    EXPECT_EQ(front->GetLinkedEnd(), other);
    EXPECT_NEAR(Node(front, 0).y, Node(front, 1).y, 1e-9);
    const double above = Node(front, 0).y - PlaneY(Node(front, 0).z);
    EXPECT_GT(above, 0.0);
    EXPECT_LT(above, roof->BaseSlab::GetThickness());
    // Walls are built once; later toggles only switch the outline editing.
    dormer->ToggleOption();
    dormer->ToggleOption();
    EXPECT_EQ(CountWalls(s.control), 3);
}

TEST_F(DormerTest, AnOutlineWithoutTwoLevelLowCornersNeverGetsWalls) {
    WallScene s;
    Roof* roof = AddRoof(s);
    // Turned on the roof: no two corners at one height.
    const Vector corners[4] = {OnPlane(100, 30), OnPlane(180, 50), OnPlane(170, 110),
                               OnPlane(90, 90)};
    Dormer* dormer = roof->AddDormer(corners);
    ASSERT_NE(dormer, nullptr);
    dormer->FindCornerIndices();
    EXPECT_EQ(dormer->GetCornerIndex(1), -1);
    dormer->SetSelected(false);
    EXPECT_TRUE(dormer->AreWallsBuilt());
    EXPECT_EQ(CountWalls(s.control), 0);
    // A locked roof takes no dormer.
    roof->SetLocked(true);
    EXPECT_EQ(AddDormer(roof), nullptr);
}

TEST_F(DormerTest, SavedDormersComeBackInWallModeWithTheWallsRead) {
    std::string file;
    std::vector<std::string> saved;
    {
        WallScene first;
        Roof* roof = AddRoof(first);
        AddDormer(roof)->SetSelected(false);
        file = plan_stream::Save(first.control, folder.Path() + "Dormer.kvp");
        saved = WithoutObjectIds(plan_stream::Elements(file, {"Roof"}));
        // The walls are written inside the dormer only.
        EXPECT_TRUE(plan_stream::Elements(file, {"Wall"}).empty());
    }
    ASSERT_FALSE(saved.empty());
    WallScene s;
    s.control.LoadPlanFile(file.c_str(), false);
    Dormer* dormer = FirstDormer(s.control);
    ASSERT_NE(dormer, nullptr);
    EXPECT_FALSE(dormer->IsOutlineMode());
    EXPECT_EQ(CountWalls(s.control), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(dormer->GetWall(i), nullptr);
        EXPECT_EQ(dormer->GetWall(i)->GetDormer(), dormer);
    }
    EXPECT_EQ(dormer->GetWall(1)->GetLinkedBegin(), dormer->GetWall(0));
    EXPECT_EQ(dormer->GetWall(1)->GetLinkedEnd(), dormer->GetWall(2));
    plan_stream::ExpectSame(
        WithoutObjectIds(plan_stream::Elements(
            plan_stream::Save(s.control, folder.Path() + "Again.kvp"), {"Roof"})),
        saved);
}

TEST_F(DormerTest, UndoAndRedoOfDormerEditsRestoreTheExactKeys) {
    struct Edit {
        const char* name;
        std::function<void(Dormer&)> change;
    };
    const Edit edits[] = {
        {"walls built", [](Dormer& d) { d.SetSelected(false); }},
        {"dormer moved along the roof", [](Dormer& d) { d.MoveBy(Vector(12, 0, 0)); }},
        {"side wall slid", [](Dormer& d) { d.GetWall(0)->MoveSlabBy(-6, 0, 4, true); }},
        {"front wall raised", [](Dormer& d) { d.GetWall(1)->Raise(0, 3, 0); }},
    };
    WallScene s;
    Roof* roof = AddRoof(s);
    Dormer* dormer = AddDormer(roof);
    ASSERT_NE(dormer, nullptr);
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.name);
        const std::string before = plan_stream::Keys(*roof);
        s.control.BeginUndoGroup();
        roof->BeginUndoStep();
        edit.change(*dormer);
        roof->EndUndoStep();
        s.control.EndUndoGroup();
        const std::string after = plan_stream::Keys(*roof);
        ASSERT_NE(before, after);
        ASSERT_TRUE(s.control.Undo());
        EXPECT_EQ(plan_stream::Keys(*roof), before);
        ASSERT_TRUE(s.control.Redo());
        EXPECT_EQ(plan_stream::Keys(*roof), after);
        dormer = FirstDormer(s.control);
        ASSERT_NE(dormer, nullptr);
    }
    EXPECT_EQ(CountWalls(s.control), 3);
}

TEST_F(DormerTest, DeleteRemovesTheDormerOnceWithItsWallsAndARefusalKeepsIt) {
    WallScene s;
    Roof* roof = AddRoof(s);
    Dormer* dormer = AddDormer(roof);
    dormer->SetSelected(false);
    ASSERT_EQ(CountWalls(s.control), 3);

    // Refused on a locked roof: nothing destroyed, the walls keep their dormer.
    roof->SetLocked(true);
    EXPECT_TRUE(dormer->GetWall(1)->IsLocked());
    roof->BeginUndoStep();
    dormer->GetWall(1)->ProcessPropertyMenu(MouseHandler::kDeleteCommand);
    EXPECT_EQ(s.control.deletedObjects.GetCount(), 0);
    EXPECT_EQ(FirstDormer(s.control), dormer);
    EXPECT_EQ(CountWalls(s.control), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dormer->GetWall(i)->GetDormer(), dormer);
    roof->SetLocked(false);

    // With a wall selected, that wall alone goes.
    dormer->GetWall(2)->SetSelected(true);
    roof->BeginUndoStep();
    dormer->ProcessPropertyMenu(MouseHandler::kDeleteCommand);
    EXPECT_EQ(FirstDormer(s.control), dormer);
    EXPECT_EQ(dormer->GetWall(2), nullptr);
    EXPECT_EQ(CountWalls(s.control), 2);

    // Delete from a wall's menu: the dormer leaves its roof once, with its walls.
    const size_t deletedBefore = s.control.deletedObjects.GetCount();
    s.control.BeginUndoGroup();
    roof->BeginUndoStep();
    dormer->GetWall(0)->ProcessPropertyMenu(MouseHandler::kDeleteCommand);
    s.control.EndUndoGroup();
    EXPECT_EQ(FirstDormer(s.control), nullptr);
    EXPECT_EQ(CountWalls(s.control), 0);
    EXPECT_EQ(s.control.deletedObjects.GetCount(), deletedBefore + 3);
    // The deleted list frees walls and dormer in any order.
    s.control.deletedObjects.DeleteAll();
    // Undo brings the dormer back with the walls it had, each pointing at it.
    s.control.Undo();
    Dormer* back = FirstDormer(s.control);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(CountWalls(s.control), 2);
    for (int i : {0, 1}) {
        ASSERT_NE(back->GetWall(i), nullptr);
        EXPECT_EQ(back->GetWall(i)->GetDormer(), back);
    }
    s.control.Redo();
    EXPECT_EQ(FirstDormer(s.control), nullptr);
    EXPECT_EQ(CountWalls(s.control), 0);

    // A roof that goes takes its dormers' walls out of the scene.
    Dormer* second = AddDormer(roof);
    second->SetSelected(false);
    ASSERT_EQ(CountWalls(s.control), 3);
    s.control.scene.Remove(roof);
    delete roof;
    EXPECT_EQ(CountWalls(s.control), 0);
}

TEST_F(DormerTest, DormerWallsSlideAlongTheirNormalAndBelongToTheRoof) {
    WallScene s;
    Roof* roof = AddRoof(s);
    Dormer* dormer = AddDormer(roof);
    dormer->SetSelected(false);
    DormerWall* side = dormer->GetWall(0);
    ASSERT_NE(side, nullptr);
    const Vector n = side->GetOutline().normal;
    const Vector start = Node(side, 3);
    // Diagonally: only the part along the normal is kept.
    side->MoveSlabBy(-5, 0, 7, true);
    const Vector moved = Node(side, 3);
    const Vector d(moved.x - start.x, moved.y - start.y, moved.z - start.z);
    Vector across;
    across.Cross(n, Vector(0, 1, 0));
    EXPECT_NEAR(d.Dot(across), 0.0, 1e-9);
    EXPECT_NEAR(std::fabs(d.Dot(n)), std::fabs(-5 * n.x + 7 * n.z), 1e-9);

    // "Lock" on a wall locks the roof; the wall reports the roof's lock.
    side->ProcessPropertyMenu(MenuCommand::kLock);
    EXPECT_TRUE(roof->IsLocked());
    EXPECT_TRUE(side->IsLocked());
    // A locked roof refuses the slide.
    const Vector held = Node(side, 3);
    side->MoveSlabBy(10, 0, 10, true);
    EXPECT_NEAR(Node(side, 3).Distance(held), 0.0, 1e-12);
    EXPECT_FALSE(side->RemoveFromList(s.control.scene));

    // Drawn with the roof; not while the roof is dragged.
    roof->SetLocked(false);
    EXPECT_TRUE(side->IsShownInCurrentView());
    roof->BaseSlab::SetSelected(true);
    s.control.globalState.SetBoolean(18, true);
    EXPECT_FALSE(side->IsShownInCurrentView());
    s.control.globalState.SetBoolean(18, false);
}

// Looking straight down on the plan: pixel (px, py) of a 200 x 200 viewport lies over
// (px / 2, y, (199 - py) / 2).
ViewProjection TopView() {
    ViewProjection view;
    view.viewport[2] = 200;
    view.viewport[3] = 200;
    double m[16] = {};
    m[0] = 0.02;
    m[9] = 0.02;
    m[6] = -0.001;
    m[12] = -1.0;
    m[13] = -1.0;
    m[15] = 1.0;
    view.projection = Matrix(m);
    return view;
}

TEST_F(DormerTest, DraggedEdgesCarryTheWallsTheyBound) {
    enum Edge { kFront, kSide, kBack };
    for (Edge edge : {kFront, kSide, kBack}) {
        SCOPED_TRACE(edge);
        WallScene s;
        Roof* roof = AddRoof(s);
        const Vector corners[4] = {OnPlane(20, 30), OnPlane(60, 30), OnPlane(60, 60),
                                   OnPlane(20, 60)};
        Dormer* dormer = roof->AddDormer(corners);
        ASSERT_NE(dormer, nullptr);
        dormer->SetSelected(false);
        ASSERT_EQ(CountWalls(s.control), 3);
        // The edge's two corners by their roles: low A, low B, upper 2, upper 0.
        const int a = dormer->GetCornerIndex(1), b = dormer->GetCornerIndex(3),
                  u0 = dormer->GetCornerIndex(0), u2 = dormer->GetCornerIndex(2);
        const int ends[3][2] = {{a, b}, {b, u2}, {u2, u0}};
        const int count = dormer->GetOutline().GetPrimaryCount();
        OutlinePoint* nodes = dormer->GetOutline().GetPrimaryPoints();
        int first = ends[edge][0];
        if ((first + 1) % count != ends[edge][1]) first = ends[edge][1];
        ASSERT_EQ((first + 1) % count, first == ends[edge][0] ? ends[edge][1] : ends[edge][0]);
        // Every drag moves its edge 5 along x and 6 up the slope.
        const int dx = 10, dy = -12;
        const Vector walls[3][4] = {{Node(dormer->GetWall(0), 0), Node(dormer->GetWall(0), 1),
                                     Node(dormer->GetWall(0), 2), Node(dormer->GetWall(0), 3)},
                                    {Node(dormer->GetWall(1), 0), Node(dormer->GetWall(1), 1),
                                     Node(dormer->GetWall(1), 2), Node(dormer->GetWall(1), 3)},
                                    {Node(dormer->GetWall(2), 0), Node(dormer->GetWall(2), 1),
                                     Node(dormer->GetWall(2), 2), Node(dormer->GetWall(2), 3)}};
        const Vector before = nodes[first].position;
        dormer->DragEdge(TopView(), 100 + dx, 100 + dy, 100, 100, &nodes[first],
                         &nodes[(first + 1) % count]);
        const Vector moved = dormer->GetOutline().GetPrimaryPoints()[first].position;
        const Vector delta(moved.x - before.x, moved.y - before.y, moved.z - before.z);
        ASSERT_GT(delta.Length(), 1.0);
        auto shift = [&](int wall, int node) {
            const Vector& now = Node(dormer->GetWall(wall), node);
            return Vector(now.x - walls[wall][node].x, now.y - walls[wall][node].y,
                          now.z - walls[wall][node].z);
        };
        switch (edge) {
            case kFront:
                // The front wall's foot follows the edge; its top and the sides' tops stay.
                EXPECT_NEAR(shift(1, 0).y, delta.y, 1e-6);
                EXPECT_NEAR(shift(1, 3).y, 0.0, 1e-6);
                EXPECT_NEAR(shift(0, 3).Length(), 0.0, 1e-6);
                break;
            case kSide: {
                // Only that side wall moves, along its normal.
                EXPECT_NEAR(shift(0, 3).Length(), 0.0, 1e-6);
                const Vector n = dormer->GetWall(2)->GetOutline().normal;
                const Vector m = shift(2, 3);
                EXPECT_GT(m.Length(), 0.5);
                EXPECT_NEAR(std::fabs(m.x * n.x + m.z * n.z), std::hypot(m.x, m.z), 1e-6);
                break;
            }
            case kBack:
                // Every wall moves with the edge; the front wall's foot stays on the roof.
                EXPECT_NEAR(shift(0, 3).Distance(delta), 0.0, 1e-6);
                EXPECT_NEAR(shift(1, 0).Length(), 0.0, 1e-6);
                EXPECT_NEAR(shift(1, 3).y, delta.y, 1e-6);
                break;
        }
    }
}

}  // namespace
