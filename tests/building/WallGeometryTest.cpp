#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <utility>

#include "building/DormerWall.h"
#include "building/Wall.h"
#include "foundation/KeyDataList.h"
#include "geometry/ViewProjection.h"
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
    const std::set<std::pair<double, double>> expected = {
        Plan(Vector(100 - d / std::sqrt(2.0), 0, d / std::sqrt(2.0))),
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

namespace {

// Looking at the wall's face: pixel (px, py) of a 200 x 200 viewport lies over
// (px / 2, (199 - py) / 2, z).
ViewProjection FrontView() {
    ViewProjection view;
    view.viewport[2] = 200;
    view.viewport[3] = 200;
    double m[16] = {};
    m[0] = 0.02;
    m[5] = 0.02;
    m[10] = -0.001;
    m[12] = -1.0;
    m[13] = -1.0;
    m[15] = 1.0;
    view.projection = Matrix(m);
    return view;
}

// Looking straight down on the plan: pixel (px, py) lies over (px / 2, y, (199 - py) / 2).
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

int Pixel(double along) {
    return static_cast<int>(std::lround(along * 2));
}
int PixelUp(double up) {
    return 199 - static_cast<int>(std::lround(up * 2));
}

TEST_F(WallGeometryTest, WallsFromAPointAreNamedInTurn) {
    std::unique_ptr<Wall> first(new Wall(Vector(0, 0, 0)));
    std::unique_ptr<Wall> second(new Wall(Vector(0, 0, 0)));
    int a = 0, b = 0;
    ASSERT_EQ(std::sscanf(first->GetInformation()->GetString("name"), "Wall%d", &a), 1);
    ASSERT_EQ(std::sscanf(second->GetInformation()->GetString("name"), "Wall%d", &b), 1);
    EXPECT_EQ(b, a + 1);
    EXPECT_STREQ(first->GetInformation()->GetString("category"), "someCategory");
    Wall loaded;
    EXPECT_EQ(loaded.GetInformation(), nullptr);
}

TEST_F(WallGeometryTest, DrawingDragTakesWholeInchesInFifteenDegreeSteps) {
    auto* wall = new Wall(Vector(10, 0, 10));
    control.scene.Append(wall);
    OutlinePoint* end = &wall->GetOutline().GetPrimaryPoints()[wall->GetWallEndIndex()];
    // 40.6 away at 28 degrees: 40 long at 30 degrees.
    const double angle = 28.0 * M_PI / 180.0;
    wall->DragOutlinePoint(TopView(), Pixel(10 + 40.6 * std::cos(angle)),
                           PixelUp(10 + 40.6 * std::sin(angle)), end, true, true);
    const Vector& e = Node(wall, wall->GetWallEndIndex());
    EXPECT_NEAR(e.x, 10 + 40 * std::cos(M_PI / 6), 1e-9);
    EXPECT_NEAR(e.z, 10 + 40 * std::sin(M_PI / 6), 1e-9);
    EXPECT_EQ(e.y, 0.0);
    EXPECT_NEAR(Node(wall, wall->GetWallEndIndex() + 1).x, e.x, 1e-9);
    EXPECT_NEAR(wall->GetLength(), 40.0, 1e-9);
}

TEST_F(WallGeometryTest, TopEdgeDragsKeepTheWallStanding) {
    Wall* wall = Add(Vector(0, 0, 0), Vector(80, 0, 0), 40.0);
    // The top edge runs from node 2. Half an inch above the base is too low: refused.
    OutlinePoint* top = &wall->GetOutline().GetPrimaryPoints()[2];
    wall->DragEdge(FrontView(), Pixel(40), PixelUp(0.5), Pixel(40), PixelUp(40), top, true);
    EXPECT_NEAR(wall->BeginHeight(), 40.0, 1e-9);
    EXPECT_NEAR(wall->EndHeight(), 40.0, 1e-9);
    top = &wall->GetOutline().GetPrimaryPoints()[2];
    wall->DragEdge(FrontView(), Pixel(40), PixelUp(30), Pixel(40), PixelUp(40), top, true);
    EXPECT_NEAR(wall->BeginHeight(), 30.0, 1e-9);
    EXPECT_NEAR(wall->EndHeight(), 30.0, 1e-9);
    // Along a drawn rectangle's top, the height is a whole number of units.
    top = &wall->GetOutline().GetPrimaryPoints()[2];
    wall->DragEdge(FrontView(), Pixel(40), PixelUp(35.5), Pixel(40), PixelUp(30), top, false);
    EXPECT_NEAR(wall->EndHeight(), 36.0, 1e-9);
    EXPECT_TRUE(wall->IsPositionValid());
}

}  // namespace
