#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "building/Terrain.h"
#include "building/Wall.h"
#include "control/dialogs/LengthDialog.h"
#include "slabs/Floor.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

// A rectangular floor from (x0, z0) to (x1, z1) whose top is at `top`, `thickness` thick.
Floor* MakeFloor(double x0, double z0, double x1, double z1, double top, double thickness = 10.0) {
    auto* floor = new Floor(Vector(x0, top - thickness / 2.0, z0), false);
    floor->BaseSlab::SetThickness(thickness);
    Outline& outline = floor->GetOutline();
    OutlinePoint* nodes = outline.GetPrimaryPoints();
    const double y = top - thickness / 2.0;
    nodes[0].position.Set(x0, y, z0, 1.0);
    nodes[1].position.Set(x0, y, z1, 1.0);
    nodes[2].position.Set(x1, y, z1, 1.0);
    nodes[3].position.Set(x1, y, z0, 1.0);
    outline.Refresh();
    outline.ComputeNormal();
    floor->AllocateOutlineArrays();
    // Drawn floors turn opaque once they are put down.
    floor->SetSurfacesTranslucent(false);
    return floor;
}

const Vector& Node(Floor* floor, int i) {
    return floor->GetOutline().GetPrimaryPoints()[i].position;
}

class FloorTest : public ::testing::Test {
protected:
    Floor* Add(Floor* floor) {
        s.control.scene.Append(floor);
        return floor;
    }
    WallScene s;
};

TEST_F(FloorTest, ANewFloorSnapsItsFirstCornerToAWallCornerAtItsLevelOrToWholeUnits) {
    // The wall's top corners stand at 100: a floor whose corner lies at 91 (so the probe
    // at 91 + 10 - 1) meets them.
    s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0);
    struct Case {
        Vector press;
        Vector expected;
    };
    const Case cases[] = {
        {Vector(90, 91, 10), Vector(100, 100, 0)},   // 14.1 from the wall's end corner
        {Vector(12.7, 50, -3.2), Vector(12, 50, -4)},  // no corner at that level
        {Vector(130, 91, 20), Vector(130, 91, 20)},   // 36 away: whole units already
    };
    for (const Case& c : cases) {
        Floor floor(c.press, false);
        ASSERT_EQ(floor.GetOutline().GetPrimaryCount(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Node(&floor, i).x, c.expected.x) << c.press.x;
            EXPECT_EQ(Node(&floor, i).z, c.expected.z) << c.press.x;
        }
    }
}

TEST_F(FloorTest, DraggedCornersAlignWithOtherCornersThenEdgeMidpoints) {
    // Corners 0 (0, 0), 1 (0, 133), 2 dragged, 3 (200, 0); the edge from 3 to 0 has its
    // midpoint at x 100.
    struct Case {
        double x, z;
        double expectedX, expectedZ;
    };
    const Case cases[] = {
        {210.0, 130.0, 200.0, 133.0},  // 10 from corner 3's x, 3 from corner 1's z
        {110.0, 150.0, 100.0, 133.0},  // x only near the midpoint
        {150.7, 300.2, 150.0, 300.0},  // nothing near: whole units
    };
    for (const Case& c : cases) {
        Floor* floor = MakeFloor(0, 0, 200, 100, 11.0);
        floor->GetOutline().GetPrimaryPoints()[1].position.z = 133.0;
        OutlinePoint* corner = &floor->GetOutline().GetPrimaryPoints()[2];
        corner->position.x = c.x;
        corner->position.z = c.z;
        floor->SnapPoint(corner, false);
        EXPECT_EQ(corner->position.x, c.expectedX) << c.x;
        EXPECT_EQ(corner->position.z, c.expectedZ) << c.x;
        delete floor;
    }
}

TEST_F(FloorTest, ThicknessGrowsDownwardAndTheTopNeverGoesBelowOne) {
    Floor* floor = Add(MakeFloor(0, 0, 100, 100, 50.0));
    floor->SetThickness(14.0);
    EXPECT_DOUBLE_EQ(Node(floor, 0).y, 43.0);
    EXPECT_DOUBLE_EQ(floor->GetTop(), 50.0);
    EXPECT_DOUBLE_EQ(floor->GetBoundingBox().max.y, 50.0);
    floor->MoveSlabBy(0.0, -49.5, 0.0, true);
    EXPECT_DOUBLE_EQ(floor->GetTop(), 1.0);
    EXPECT_EQ(floor->SetSizeX(0.005), -1);
    EXPECT_EQ(floor->GetSizeX(), 14.0);
    EXPECT_EQ(floor->SetSizeX(6.0), 0);
    EXPECT_DOUBLE_EQ(floor->GetTop(), 1.0);
}

TEST_F(FloorTest, FloorsDoNotOverlapOtherFloorsOnTheirLevel) {
    Floor* a = Add(MakeFloor(0, 0, 100, 100, 11.0));
    // Side by side, their edges on one line: no overlap.
    Floor* b = Add(MakeFloor(200, 0, 300, 100, 11.0));
    EXPECT_TRUE(b->IsPositionValid());
    EXPECT_TRUE(a->IsPositionValid());
    b->MoveSlabBy(-150.0, 0.0, 0.0, true);
    EXPECT_EQ(Node(b, 0).x, 200.0) << "the move onto the other floor is put back";
    b->MoveSlabBy(0.0, 100.0, 0.0, true);
    b->MoveSlabBy(-150.0, 0.0, 0.0, true);
    EXPECT_EQ(Node(b, 0).x, 50.0) << "a storey higher it moves freely";
    EXPECT_FALSE(Floor::CornerInside(a->GetOutline(), b->GetOutline()) &&
                 std::fabs(Node(a, 0).y - Node(b, 0).y) <= 10.0);
    b->MoveSlabBy(0.0, -100.0, 0.0, true);
    EXPECT_FALSE(b->IsPositionValid());
}

TEST_F(FloorTest, TheStoreyIsTheUpperFaceInTheCurrentBand) {
    s.control.floorState.SetDouble(4, 0.0);
    s.control.wallState.SetDouble(5, 108.0);
    struct Case {
        double top;
        bool inBand;
    };
    for (const Case& c : {Case{108.0, false}, Case{0.0, true}, Case{107.9, true}}) {
        Floor* floor = MakeFloor(0, 0, 100, 100, c.top);
        EXPECT_EQ(floor->IsInVisibleHeightRange(), c.inBand) << c.top;
        delete floor;
    }
}

TEST_F(FloorTest, SmallFourCornerFloorsAreNotDrawn) {
    Floor* tiny = Add(MakeFloor(0, 0, 1, 3, 11.0));
    Floor* large = Add(MakeFloor(10, 10, 20, 20, 11.0));
    EXPECT_FALSE(tiny->IsShownInCurrentView());
    EXPECT_TRUE(large->IsShownInCurrentView());
}

TEST_F(FloorTest, MenuSetsTheGroundFloorAndTheLevel) {
    Floor* floor = Add(MakeFloor(0, 0, 100, 100, 11.0));
    EXPECT_FALSE(floor->ProcessPropertyMenu(Floor::kSetAsGroundFloor));
    EXPECT_DOUBLE_EQ(s.control.floorState.GetDouble(9), 10.0);
    EXPECT_DOUBLE_EQ(s.control.floorState.GetDouble(4), 11.0);
    Floor* upper = Add(MakeFloor(0, 0, 100, 100, 119.0));
    upper->ProcessPropertyMenu(Floor::kEditOnThisLevel);
    EXPECT_DOUBLE_EQ(s.control.floorState.GetDouble(4), 119.0);
    EXPECT_DOUBLE_EQ(s.control.floorState.GetDouble(9), 10.0);
}

TEST_F(FloorTest, MoveVerticallyMovesTheTopToTheValueEnteredAndCancelMovesNothing) {
    Floor* floor = Add(MakeFloor(0, 0, 100, 100, 11.0));
    double shown = 0.0;
    for (int answer : {Dialog::kCancel, Dialog::kOk}) {
        Dialog::SetModalRunner([&](Dialog& dialog) {
            auto& length = dynamic_cast<LengthDialog&>(dialog);
            shown = length.GetLength();
            length.SetLength(300.0);
            return answer;
        });
        EXPECT_FALSE(floor->ProcessPropertyMenu(Floor::kMoveVertically));
        Dialog::SetModalRunner(nullptr);
        EXPECT_DOUBLE_EQ(shown, 11.0);
        EXPECT_DOUBLE_EQ(floor->GetTop(), answer == Dialog::kOk ? 300.0 : 11.0) << answer;
    }
    // The move is one step to undo.
    s.control.Undo();
    EXPECT_DOUBLE_EQ(floor->GetTop(), 11.0);
}

TEST_F(FloorTest, ALoopOfLinkedWallsGivesTheFloorItsCorners) {
    Wall* w[4] = {
        s.Add(Vector(0, 0, 0), Vector(100, 0, 0)), s.Add(Vector(100, 0, 0), Vector(100, 0, 80)),
        s.Add(Vector(100, 0, 80), Vector(0, 0, 80)), s.Add(Vector(0, 0, 80), Vector(0, 0, 0))};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(w[i]->LinkWith(w[(i + 1) % 4], 2, 1));
    Floor floor(Vector(0, 0, 0), false);
    ASSERT_TRUE(floor.RebuildFromOutline(w[0]));
    ASSERT_EQ(floor.GetOutline().GetPrimaryCount(), 4);
    EXPECT_GT(floor.GetOutline().normal.y, 0.0);
    EXPECT_DOUBLE_EQ(floor.GetTop(), 1.0);
    EXPECT_NEAR(floor.GetArea(), 8000.0, 1e-6);
    // An open chain closes no loop: the floor keeps its corners.
    w[3]->Unlink(w[0], true);
    EXPECT_FALSE(floor.RebuildFromOutline(w[0]));
    EXPECT_EQ(floor.GetOutline().GetPrimaryCount(), 4);
}

TEST_F(FloorTest, SavedFloorsComeBackFromTheLoaderAndUndoRestoresTheirKeys) {
    TempFolder folder;
    std::string first;
    std::vector<std::string> saved;
    {
        s.control.scene.Append(MakeFloor(0, 0, 100, 80, 11.0));
        Floor* upper = MakeFloor(-20, 0, 60, 40, 119.0, 12.0);
        upper->SetInformationValue("note", "loft");
        s.control.scene.Append(upper);
        first = plan_stream::Save(s.control, folder.Path() + "Floors.kvp");
        saved = plan_stream::Elements(first, {"Floor"});
        s.control.scene.DeleteAll();
    }
    ASSERT_FALSE(saved.empty());
    s.control.LoadPlanFile(first.c_str(), false);
    std::vector<Floor*> floors;
    for (LinkedListObject* node = s.control.scene.GetHead(); node; node = node->GetNext())
        if (auto* floor = dynamic_cast<Floor*>(node)) floors.push_back(floor);
    ASSERT_EQ(floors.size(), 2u);
    EXPECT_DOUBLE_EQ(floors[1]->GetTop(), 119.0);
    EXPECT_STREQ(floors[1]->GetInformation()->GetString("note"), "loft");
    plan_stream::ExpectSame(
        plan_stream::Elements(plan_stream::Save(s.control, folder.Path() + "Again.kvp"),
                              {"Floor"}),
        saved);

    Floor* floor = floors[0];
    const std::string before = plan_stream::Keys(*floor);
    s.control.BeginUndoGroup();
    floor->BeginUndoStep();
    floor->SetThickness(16.0);
    floor->MoveSlabBy(5.0, 30.0, 0.0, true);
    floor->EndUndoStep();
    s.control.EndUndoGroup();
    const std::string after = plan_stream::Keys(*floor);
    ASSERT_NE(before, after);
    s.control.Undo();
    EXPECT_EQ(plan_stream::Keys(*floor), before);
    s.control.Redo();
    EXPECT_EQ(plan_stream::Keys(*floor), after);
}

TEST_F(FloorTest, AFloorGoneAfterTheTerrainDoesNotReachIt) {
    auto* terrain = new Terrain;
    s.control.terrain = terrain;
    Floor* floor = Add(MakeFloor(0, 0, 100, 100, 11.0));
    Add(MakeFloor(200, 0, 300, 100, 11.0));
    terrain->GetNode(0).position.y = 5.0;
    s.control.scene.DeleteNode(floor);
    EXPECT_EQ(terrain->GetNode(0).committed.y, 5.0) << "a floor that goes commits the ground";
    delete terrain;
    s.control.terrain = nullptr;
    s.control.scene.DeleteAll();
}

}  // namespace
