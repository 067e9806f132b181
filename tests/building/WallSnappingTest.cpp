#include <gtest/gtest.h>

#include "building/Wall.h"
#include "support/WallFixtures.h"

namespace {

void ExpectAt(const Vector& v, double x, double y, double z) {
    EXPECT_NEAR(v.x, x, 1e-9);
    EXPECT_NEAR(v.y, y, 1e-9);
    EXPECT_NEAR(v.z, z, 1e-9);
}

class WallSnappingTest : public ::testing::Test {
protected:
    // Puts the bottom node `index` (0 or the end node) of the wall at `p`, with the top
    // node above it following, as an editor's drag leaves it, then snaps it.
    static void DropNode(Wall* wall, int index, const Vector& p, bool restricted) {
        OutlinePoint* nodes = wall->GetOutline().GetPrimaryPoints();
        const int top = index == 0 ? wall->GetOutline().GetPrimaryCount() - 1 : wall->GetWallEndIndex() + 1;
        nodes[index].position.x = p.x;
        nodes[index].position.z = p.z;
        nodes[top].position.x = p.x;
        nodes[top].position.z = p.z;
        wall->GetOutline().Refresh();
        wall->SnapWallPoint(&wall->GetOutline().GetPrimaryPoints()[index], restricted);
    }

    WallScene s;
};

TEST_F(WallSnappingTest, BottomCornersSnapToTheWallBelowOrToWholeUnits) {
    // A wall of the storey below: its top corners at height 100.
    s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0);
    Wall* upper = s.Add(Vector(0, 100, 50), Vector(0, 100, 120), 90.0);

    // Within reach of the lower wall's top corner at (100, 100, 0): exactly onto it, and
    // the top corner above follows.
    DropNode(upper, 0, Vector(92.5, 100, 7.25), false);
    ExpectAt(WallScene::Node(upper, 0), 100, 100, 0);
    ExpectAt(WallScene::Node(upper, 3), 100, 190, 0);

    // Nothing in reach and the other end free: down to whole units on both axes.
    DropNode(upper, 0, Vector(10.6 + 300, 100, -3.2), false);
    ExpectAt(WallScene::Node(upper, 0), 310, 100, -4);
    ExpectAt(WallScene::Node(upper, 3), 310, 190, -4);

    // Restricted, nothing in reach: the node stays where the editor put it.
    DropNode(upper, 0, Vector(300.5, 100, -3.5), true);
    ExpectAt(WallScene::Node(upper, 0), 300.5, 100, -3.5);
}

TEST_F(WallSnappingTest, WithTheOtherEndLinkedOnlyTargetsOnTheWallsLineCount) {
    // Two linked walls at height 100; the second one's end is dragged while its begin is
    // linked. Below them stands a wall whose top corners are (-100, 100, 0) and
    // (-200, 100, 0).
    Wall* first = s.Add(Vector(0, 100, -60), Vector(0, 100, 0), 90.0);
    Wall* second = s.Add(Vector(0, 100, 0), Vector(-80, 100, 0), 90.0);
    ASSERT_TRUE(first->LinkWith(second, 2, 1));
    s.Add(Vector(-200, 0, 0), Vector(-100, 0, 0), 100.0);
    const int end = second->GetWallEndIndex();

    // (-100, 100, 0) lies on the line from the linked begin through the node: taken.
    DropNode(second, end, Vector(-92, 100, 0), true);
    ExpectAt(WallScene::Node(second, end), -100, 100, 0);

    // Dragged off that line, the nearest corner (-200, 100, 0) is not on the line from
    // the begin through the node: the node stays where the editor put it.
    DropNode(second, end, Vector(-180.5, 100, -4.5), false);
    ExpectAt(WallScene::Node(second, end), -180.5, 100, -4.5);
}

TEST_F(WallSnappingTest, UpperNodeSnapsToANodeOfAParallelWall) {
    // Two parallel walls 50 apart, each with a gable node in its top edge.
    Wall* a = s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0);
    Wall* b = s.Add(Vector(0, 0, 50), Vector(100, 0, 50), 100.0);
    ASSERT_NE(b->InsertPointAt(Vector(40, 130, 50)), nullptr);
    OutlinePoint* gable = a->InsertPointAt(Vector(50, 120, 0));
    ASSERT_NE(gable, nullptr);
    const int index = a->GetOutline().IndexOfPrimary(gable);
    ASSERT_GT(index, a->GetWallEndIndex() + 1);

    // The other wall's gable lies 14 away once projected across: the node takes its
    // place, staying in its own wall's plane.
    a->SnapWallPoint(gable, false);
    ExpectAt(WallScene::Node(a, index), 40, 130, 0);

    // Out of reach of anything: the node stays.
    WallScene::Node(a, index) = Vector(50, 190, 0);
    a->GetOutline().Refresh();
    EXPECT_FALSE(a->SnapToParallelWall(&a->GetOutline().GetPrimaryPoints()[index]));
    ExpectAt(WallScene::Node(a, index), 50, 190, 0);
}

TEST_F(WallSnappingTest, AlongWallMeansOnTheDirectionFromTheBegin) {
    Wall* wall = s.Add(Vector(0, 0, 0), Vector(100, 0, 0), 100.0);
    EXPECT_TRUE(wall->IsAlongWall(Vector(250, 0, 0)));
    EXPECT_FALSE(wall->IsAlongWall(Vector(-20, 0, 0)));
    EXPECT_FALSE(wall->IsAlongWall(Vector(50, 0, 1)));
    // The begin itself has no direction.
    EXPECT_FALSE(wall->IsAlongWall(Vector(0, 0, 0)));
}

TEST_F(WallSnappingTest, OnlyALoopOfDifferentWallsIsClosed) {
    Wall* w[4] = {s.Add(Vector(0, 0, 0), Vector(100, 0, 0)), s.Add(Vector(100, 0, 0), Vector(100, 0, 80)),
                  s.Add(Vector(100, 0, 80), Vector(0, 0, 80)), s.Add(Vector(0, 0, 80), Vector(0, 0, 0))};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(w[i]->LinkWith(w[i + 1], 2, 1));
    for (Wall* wall : w) EXPECT_FALSE(wall->IsInClosedLoop());
    ASSERT_TRUE(w[3]->LinkWith(w[0], 2, 1));
    for (Wall* wall : w) EXPECT_TRUE(wall->IsInClosedLoop());
    w[1]->Unlink(w[2], true);
    EXPECT_FALSE(w[0]->IsInClosedLoop());
}

}  // namespace
