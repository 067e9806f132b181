#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <utility>

#include "building/DormerWall.h"
#include "building/Wall.h"
#include "foundation/KeyDataList.h"
#include "support/WallFixtures.h"

namespace {

// x and z of a point, for comparing corners in the plan.
std::pair<double, double> Plan(const Vector& v) {
    return {std::round(v.x * 1e6) / 1e6, std::round(v.z * 1e6) / 1e6};
}

class WallGeometryTest : public ::testing::Test, public WallScene {};

TEST_F(WallGeometryTest, FreeWallHasFacesHalfItsThicknessEitherSide) {
    Wall* wall = Add(Vector(0, 0, 0), Vector(100, 0, 0));
    ASSERT_EQ(wall->GetOutline().GetPrimaryCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const Vector& node = Node(wall, i);
        EXPECT_NEAR(std::fabs(wall->GetFacePointsA()[i].z - node.z), 5.0, 1e-9);
        EXPECT_NEAR(wall->GetFacePointsA()[i].z, -wall->GetFacePointsB()[i].z, 1e-9);
        EXPECT_EQ(wall->GetFacePointsA()[i].x, node.x);
        EXPECT_EQ(wall->GetFacePointsA()[i].y, node.y);
    }
    EXPECT_DOUBLE_EQ(wall->GetLength(), 100.0);
    EXPECT_DOUBLE_EQ(wall->GetSizeZ(), 100.0);
    EXPECT_DOUBLE_EQ(wall->GetSizeX(), 10.0);
    EXPECT_DOUBLE_EQ(wall->GetSizeY(), 100.0);
    EXPECT_TRUE(wall->IsShownInCurrentView());
}

TEST_F(WallGeometryTest, WallJustStartedIsNotDrawnUntilThreeLong) {
    control.wallState.SetDouble(5, 100.0);
    auto* wall = new Wall(Vector(0, 0, 0));
    control.scene.Append(wall);
    EXPECT_FALSE(wall->IsPlaced());
    wall->MoveEndTo(Vector(2.9, 0, 0), wall->GetWallEndIndex());
    wall->UpdateLinkedPoints();
    EXPECT_FALSE(wall->IsShownInCurrentView());
    wall->MoveEndTo(Vector(3.1, 0, 0), wall->GetWallEndIndex());
    wall->UpdateLinkedPoints();
    EXPECT_TRUE(wall->IsShownInCurrentView());
    // Hidden, or a view that hides walls: not drawn.
    window.viewFlags.SetInt64(0, TypeBit::kWall);
    EXPECT_FALSE(wall->IsShownInCurrentView());
}

TEST_F(WallGeometryTest, LinkedCornerFacesMeetOnTheBisector) {
    Wall* a = Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* b = Add(Vector(100, 0, 0), Vector(100, 0, 100));
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    // Inner and outer corners lie thickness / (2 sin 45) from the joint.
    const double d = 10.0 / (2.0 * std::sin(M_PI / 4.0));
    const std::set<std::pair<double, double>> expected = {Plan(Vector(100 - d / std::sqrt(2.0), 0, d / std::sqrt(2.0))),
                                                          Plan(Vector(100 + d / std::sqrt(2.0), 0, -d / std::sqrt(2.0)))};
    const int end = a->GetWallEndIndex();
    EXPECT_EQ((std::set<std::pair<double, double>>{Plan(a->GetFacePointsA()[end]),
                                                   Plan(a->GetFacePointsB()[end])}),
              expected);
    EXPECT_EQ((std::set<std::pair<double, double>>{Plan(b->GetFacePointsA()[0]),
                                                   Plan(b->GetFacePointsB()[0])}),
              expected);
    // The tops follow the bottoms.
    EXPECT_EQ(Plan(a->GetFacePointsA()[end + 1]), Plan(a->GetFacePointsA()[end]));
    // Linked: the longer face gives the length.
    EXPECT_NEAR(a->GetLength(), 105.0, 1e-9);
}

TEST_F(WallGeometryTest, FreeEndRunningIntoAnotherWallIsBevelledOntoItsFace) {
    Add(Vector(0, 0, 0), Vector(100, 0, 0));
    struct Case {
        const char* what;
        Vector to;
        bool bevelled;
    };
    for (const Case& c : {Case{"short of the centre line by under 1%", Vector(50, 0, 0.3), true},
                          Case{"past the centre line", Vector(50, 0, -3), true},
                          Case{"onto the other wall's end", Vector(100, 0, 0.3), false}}) {
        SCOPED_TRACE(c.what);
        Wall* w = Add(Vector(c.to.x, 0, 50), c.to);
        if (!c.bevelled) {
            EXPECT_EQ(w->GetInsideBeginBevel().y, -1.0);
            EXPECT_EQ(w->GetOutsideBeginBevel().y, -1.0);
            control.scene.DeleteNode(w);
            continue;
        }
        // The end sits on the other wall's centre line; both corners on its near face.
        EXPECT_NEAR(Node(w, w->GetWallEndIndex()).z, 0.0, 1e-9);
        EXPECT_NEAR(w->GetLength(), 45.0, 1e-9);
        const std::set<std::pair<double, double>> corners = {Plan(w->GetInsideBeginBevel()),
                                                             Plan(w->GetOutsideBeginBevel())};
        EXPECT_EQ(corners, (std::set<std::pair<double, double>>{{45.0, 5.0}, {55.0, 5.0}}));
        // The begin runs into nothing.
        EXPECT_EQ(w->GetInsideEndBevel().y, -1.0);
        control.scene.DeleteNode(w);
    }
}

TEST_F(WallGeometryTest, ParallelOrMerelyTouchingWallsDoNotCross) {
    Wall* x = Add(Vector(0, 0, 0), Vector(100, 0, 0));
    Wall* parallel = Add(Vector(0, 0, -20), Vector(100, 0, -20));
    // Ends on x's centre line, 30 along it.
    Wall* across = Add(Vector(30, 0, 50), Vector(30, 0, 0));
    Wall* above = Add(Vector(60, 100, -50), Vector(60, 100, 50));
    EXPECT_EQ(x->CrossingParameter(*parallel), Wall::kNoCrossing);
    EXPECT_EQ(x->CrossingParameter(*above), Wall::kNoCrossing);
    EXPECT_NEAR(x->CrossingParameter(*across), 1.0, 1e-12);
    EXPECT_NEAR(across->CrossingParameter(*x), 0.3, 1e-12);
    double t = 0.0;
    EXPECT_TRUE(across->CrossesWithin(*x, t));
    EXPECT_NEAR(t, 0.3, 1e-12);
    EXPECT_EQ(x->FindCrossingWall(false), 1);
    EXPECT_EQ(x->FindCrossingWall(true), 1);
    EXPECT_EQ(parallel->FindCrossingWall(false), 0);
}

TEST_F(WallGeometryTest, OnlyInnerBottomNodesRenumberTheEnd) {
    Wall* wall = Add(Vector(0, 0, 0), Vector(100, 0, 0));
    // A node on the bottom edge comes before the end.
    OutlinePoint* bottom = wall->InsertPointAt(Vector(50, 0, 0));
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(wall->GetOutline().IndexOfPrimary(bottom), 1);
    EXPECT_EQ(wall->GetWallEndIndex(), 2);
    OutlinePoint* nodes = wall->GetOutline().GetPrimaryPoints();
    EXPECT_FALSE(wall->DeleteOutlinePoint(&nodes[0]));
    EXPECT_FALSE(wall->DeleteOutlinePoint(&nodes[2]));
    // A locked wall refuses, and keeps its numbering.
    wall->SetLocked(true);
    EXPECT_FALSE(wall->DeleteOutlinePoint(&nodes[1]));
    EXPECT_EQ(wall->GetWallEndIndex(), 2);
    wall->SetLocked(false);
    EXPECT_TRUE(wall->DeleteOutlinePoint(&wall->GetOutline().GetPrimaryPoints()[1]));
    EXPECT_EQ(wall->GetWallEndIndex(), 1);
    EXPECT_EQ(wall->GetOutline().GetPrimaryCount(), 4);
    EXPECT_TRUE(wall->IsPositionValid());
}

TEST_F(WallGeometryTest, ValidShapesStandOverTheirBaseLine) {
    struct Case {
        const char* what;
        int node;
        Vector moveTo;
        bool dormer;
        bool valid;
    };
    const Case cases[] = {
        {"as drawn", -1, Vector(), false, true},
        {"end top half an inch up", 2, Vector(100, 0.5, 0), false, false},
        {"a node below the ground", 0, Vector(0, -0.5, 0), false, false},
        {"top off the line within an inch", 3, Vector(0, 100, 0.9), false, true},
        {"top off the line by more", 3, Vector(0, 100, 1.1), false, false},
        {"top past the end", 2, Vector(101, 100, 0), false, false},
        {"dormer wall with no height at its begin", 3, Vector(0, 0, 0), true, true},
        {"plain wall with no height at its begin", 3, Vector(0, 0, 0), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Wall> drawn(MakeWall(Vector(0, 0, 0), Vector(100, 0, 0)));
        std::unique_ptr<Wall> wall(drawn.release());
        if (c.dormer) {
            wall->WriteKeyData();
            std::unique_ptr<KeyDataSublist> keys(wall->TakeWrittenElement());
            wall = std::make_unique<DormerWall>();
            wall->ReadKeyData(*keys->GetChildren());
        }
        if (c.node >= 0) Node(wall.get(), c.node) = c.moveTo;
        EXPECT_EQ(wall->IsPositionValid(), c.valid);
    }
}

}  // namespace
