#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "geometry/BoundingBox.h"
#include "geometry/Outline.h"
#include "geometry/ViewProjection.h"
#include "support/OutlineShapes.h"

namespace {

// Looking straight down the y axis at the plan: pixel (px, py) of a 200 x 200 viewport
// (py from the top) lies over (px / 2, y, (199 - py) / 2); depth runs from y = 1000 (near)
// to y = -1000 (far).
ViewProjection TopView() {
    ViewProjection view;
    view.viewport[2] = 200;
    view.viewport[3] = 200;
    double m[16] = {};
    m[0] = 0.02;    // x -> device x
    m[9] = 0.02;    // z -> device y
    m[6] = -0.001;  // y -> depth
    m[12] = -1.0;
    m[13] = -1.0;
    m[15] = 1.0;
    view.projection = Matrix(m);
    return view;
}

int PixelX(double x) {
    return static_cast<int>(std::lround(x * 2));
}

int PixelY(double z) {
    return 199 - static_cast<int>(std::lround(z * 2));
}

// The same direction of sight, with the near plane through the origin at the centre of
// the viewport.
ViewProjection OriginView() {
    ViewProjection view;
    view.viewport[2] = 200;
    view.viewport[3] = 200;
    double m[16] = {};
    m[0] = 0.01;
    m[9] = 0.01;
    m[6] = -0.002;
    m[14] = -1.0;
    m[15] = 1.0;
    view.projection = Matrix(m);
    return view;
}

void ExpectAt(const Vector& actual, double x, double y, double z, const std::string& what) {
    EXPECT_NEAR(actual.x, x, 1e-9) << what;
    EXPECT_NEAR(actual.y, y, 1e-9) << what;
    EXPECT_NEAR(actual.z, z, 1e-9) << what;
}

std::vector<Vector> Positions(const Outline& outline) {
    std::vector<Vector> positions;
    for (int i = 0; i < outline.GetPrimaryCount(); ++i)
        positions.push_back(outline.GetPrimaryPoints()[i].position);
    return positions;
}

void ExpectUnchanged(const Outline& outline, const std::vector<Vector>& before,
                     const std::string& what) {
    const std::vector<Vector> after = Positions(outline);
    ASSERT_EQ(after.size(), before.size()) << what;
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(after[i].Equals(before[i])) << what << " node " << i;
}

void Square(Outline& outline, double size) {
    BuildOutline(outline, {{0, 0, 0}, {size, 0, 0}, {size, 0, size}, {0, 0, size}});
}

// An upright outline in the plane x = 50: every ray of both views runs along it.
void Wall(Outline& outline) {
    BuildOutline(outline, {{50, 0, 0}, {50, 0, 40}, {50, 40, 40}, {50, 40, 0}});
}

TEST(OutlineEdit, ScreenPointsReachThePlaneOrReportAMiss) {
    const ViewProjection top = TopView();
    Outline plan;
    Square(plan, 100);
    ExpectAt(plan.ScreenToPlane(top, PixelX(30), PixelY(40)), 30, 0, 40, "plan");
    EXPECT_FALSE(plan.IsEdgeOn(top));
    ExpectAt(plan.viewPoint, 50, 1000, 50, "centre of the near plane");

    Outline wall;
    Wall(wall);
    ExpectAt(wall.ScreenToPlane(top, 10, 10), 99999, 99999, 99999, "ray along the wall");
    EXPECT_TRUE(wall.IsEdgeOn(top));
    // Seen edge-on, the point is found through an upright plane and dropped onto the wall.
    Vector hit;
    ASSERT_TRUE(wall.ScreenToPlaneAt(top, PixelX(20), PixelY(10), Vector(50, 0, 0), hit));
    EXPECT_NEAR(hit.x, 50, 1e-9);
    EXPECT_NEAR(hit.z, 10, 1e-9);
    // With the near plane through the origin there is no upright plane to use either.
    EXPECT_FALSE(wall.ScreenToPlaneAt(OriginView(), 120, 90, Vector(50, 0, 0), hit));

    Outline empty;
    EXPECT_FALSE(empty.ScreenToPlaneAt(top, 1, 1, Vector(), hit));
    EXPECT_EQ(empty.InsertScreenPoint(top, 1, 1, false), nullptr);
    ViewProjection broken = top;
    broken.projection = Matrix(std::vector<double>(16, 0.0).data());
    EXPECT_FALSE(plan.ScreenToPlaneThrough(broken, 1, 1, Vector(), plan.normal, hit));
}

TEST(OutlineEdit, ScreenInsertionGoesOnTheNearestEdge) {
    struct Case {
        const char* name;
        double x, z;
        int index;
    };
    const Case cases[] = {
        {"below the first edge", 50, -2, 1},
        {"beside the closing edge", 2, 50, 4},
        {"on a corner the closing edge wins", 0, 0, 4},
        {"beside the second edge", 99, 30, 2},
    };
    for (const Case& c : cases) {
        Outline outline;
        Square(outline, 100);
        OutlinePoint* node = outline.InsertScreenPoint(TopView(), PixelX(c.x), PixelY(c.z), false);
        ASSERT_NE(node, nullptr) << c.name;
        EXPECT_EQ(outline.IndexOfPrimary(node), c.index) << c.name;
        ExpectAt(node->position, c.x, 0, c.z, c.name);
    }

    Outline wall;
    Wall(wall);
    EXPECT_EQ(wall.InsertScreenPoint(TopView(), 10, 10, false), nullptr);
    EXPECT_EQ(wall.GetPrimaryCount(), 4) << "no node at the no-intersection value";
}

TEST(OutlineEdit, MovePointFollowsConstraints) {
    struct Case {
        const char* name;
        bool constrained1, constrained2;
        bool moved;
        Vector expected;
    };
    const Case cases[] = {
        {"free", false, false, true, {120, 0, 90}},
        {"constrained: slides along the edge before it", true, false, true, {120, 0, 0}},
        {"next constrained: slides along its own edge", false, true, true, {100, 0, 90}},
        {"both constrained: refused", true, true, false, {100, 0, 0}},
    };
    for (const Case& c : cases) {
        Outline outline;
        Square(outline, 100);
        outline.GetPrimaryPoints()[1].constrainFollowing = c.constrained1;
        outline.GetPrimaryPoints()[2].constrainFollowing = c.constrained2;
        EXPECT_EQ(
            outline.MovePoint(TopView(), PixelX(120), PixelY(90), &outline.GetPrimaryPoints()[1]),
            c.moved)
            << c.name;
        ExpectAt(outline.GetPrimaryPoints()[1].position, c.expected.x, c.expected.y, c.expected.z,
                 c.name);
    }

    Outline outline, other;
    Square(outline, 100);
    Square(other, 100);
    EXPECT_FALSE(outline.MovePoint(TopView(), 1, 1, &other.GetPrimaryPoints()[1]));

    Outline wall;
    Wall(wall);
    const std::vector<Vector> before = Positions(wall);
    EXPECT_FALSE(wall.MovePoint(OriginView(), 120, 90, &wall.GetPrimaryPoints()[1]));
    ExpectUnchanged(wall, before, "ray misses the wall");
    EXPECT_TRUE(wall.MovePoint(TopView(), PixelX(30), PixelY(20), &wall.GetPrimaryPoints()[1]));
    EXPECT_NEAR(wall.GetPrimaryPoints()[1].position.x, 50, 1e-9) << "stays in its plane";
    EXPECT_NEAR(wall.GetPrimaryPoints()[1].position.z, 20, 1e-9);
}

TEST(OutlineEdit, DragEdgeSlidesItsEndsAlongTheNeighbours) {
    const ViewProjection top = TopView();
    Outline outline;
    BuildOutline(outline, {{0, 0, 0}, {100, 0, 0}, {100, 0, 50}, {0, 0, 50}});
    OutlinePoint* a = &outline.GetPrimaryPoints()[1];
    OutlinePoint* b = &outline.GetPrimaryPoints()[2];
    // Given in either order, the nodes name the same edge.
    OutlinePoint* result =
        outline.DragEdge(top, PixelX(110), PixelY(25), PixelX(100), PixelY(25), b, a, false);
    EXPECT_EQ(outline.IndexOfPrimary(result), 2);
    ExpectAt(outline.GetPrimaryPoints()[1].position, 110, 0, 0, "start");
    ExpectAt(outline.GetPrimaryPoints()[2].position, 110, 0, 50, "end");

    const std::vector<Vector> before = Positions(outline);
    a = &outline.GetPrimaryPoints()[1];
    b = &outline.GetPrimaryPoints()[2];
    outline.DragEdge(top, PixelX(110), PixelY(40), PixelX(110), PixelY(10), a, b, false);
    ExpectUnchanged(outline, before, "a drag along the edge");
    outline.DragEdge(top, PixelX(120), PixelY(25), PixelX(110), PixelY(25),
                     &outline.GetPrimaryPoints()[0], &outline.GetPrimaryPoints()[2], false);
    ExpectUnchanged(outline, before, "nodes that share no edge");

    Outline wall;
    Wall(wall);
    const std::vector<Vector> wallBefore = Positions(wall);
    wall.DragEdge(OriginView(), 120, 90, 100, 90, &wall.GetPrimaryPoints()[0],
                  &wall.GetPrimaryPoints()[1], true);
    ExpectUnchanged(wall, wallBefore, "ray misses the wall");
}

TEST(OutlineEdit, DragEdgeThatWouldCrossTheOutlineIsUndone) {
    // A U whose right arm's inner side is pushed across the shorter left arm.
    auto build = [](Outline& u) {
        BuildOutline(u, {{0, 0, 0},
                         {30, 0, 0},
                         {30, 0, 40},
                         {20, 0, 40},
                         {20, 0, 10},
                         {10, 0, 10},
                         {10, 0, 30},
                         {0, 0, 30}});
    };
    for (bool skipCheck : {false, true}) {
        Outline u;
        build(u);
        const std::vector<Vector> before = Positions(u);
        u.DragEdge(TopView(), PixelX(5), PixelY(25), PixelX(20), PixelY(25),
                   &u.GetPrimaryPoints()[3], &u.GetPrimaryPoints()[4], skipCheck);
        if (skipCheck) {
            ExpectAt(u.GetPrimaryPoints()[3].position, 5, 0, 40, "forced");
            ExpectAt(u.GetPrimaryPoints()[4].position, 5, 0, 10, "forced");
            EXPECT_FALSE(u.IsSimple());
        } else {
            ExpectUnchanged(u, before, "crossing drag");
        }
    }
}

TEST(OutlineEdit, DragEdgeBetweenCollinearNeighboursMakesJogs) {
    auto build = [](Outline& outline) {
        BuildOutline(outline,
                     {{0, 0, 0}, {30, 0, 0}, {60, 0, 0}, {90, 0, 0}, {90, 0, 50}, {0, 0, 50}});
        outline.ComputeNormal();
    };
    Outline small;
    build(small);
    const std::vector<Vector> before = Positions(small);
    small.DragEdge(TopView(), PixelX(45), PixelY(-0.5), PixelX(45), PixelY(0),
                   &small.GetPrimaryPoints()[1], &small.GetPrimaryPoints()[2], false);
    ExpectUnchanged(small, before, "half a unit is not enough");

    Outline outline;
    build(outline);
    OutlinePoint* result =
        outline.DragEdge(TopView(), PixelX(45), PixelY(-5), PixelX(45), PixelY(0),
                         &outline.GetPrimaryPoints()[1], &outline.GetPrimaryPoints()[2], false);
    const std::vector<Vector> expected = {{0, 0, 0},  {30, 0, 0}, {30, 0, -5}, {60, 0, -5},
                                          {60, 0, 0}, {90, 0, 0}, {90, 0, 50}, {0, 0, 50}};
    ASSERT_EQ(outline.GetPrimaryCount(), 8);
    for (size_t i = 0; i < expected.size(); ++i)
        ExpectAt(outline.GetPrimaryPoints()[i].position, expected[i].x, expected[i].y,
                 expected[i].z, "jogged ring");
    EXPECT_EQ(outline.IndexOfPrimary(result), 3);

    // The closing edge: its end is node 0, so the jog before it goes after the last node;
    // its start has a neighbour across it to slide along.
    Outline ring;
    BuildOutline(ring, {{30, 0, 0}, {60, 0, 0}, {90, 0, 0}, {90, 0, 50}, {0, 0, 50}, {0, 0, 0}});
    ring.ComputeNormal();
    result = ring.DragEdge(TopView(), PixelX(15), PixelY(-5), PixelX(15), PixelY(0),
                           &ring.GetPrimaryPoints()[5], &ring.GetPrimaryPoints()[0], false);
    ASSERT_EQ(ring.GetPrimaryCount(), 7);
    ExpectAt(ring.GetPrimaryPoints()[0].position, 30, 0, 0, "end stays");
    ExpectAt(ring.GetPrimaryPoints()[5].position, 0, 0, -5, "start slides");
    ExpectAt(ring.GetPrimaryPoints()[6].position, 30, 0, -5, "jog before the end");
    EXPECT_EQ(ring.IndexOfPrimary(result), 6);
}

TEST(OutlineEdit, DragArcChangesTheBulgeUnlessTheOutlineWouldCross) {
    const ViewProjection top = TopView();
    for (bool skipCheck : {false, true}) {
        Outline outline;
        Square(outline, 100);
        CurveEdge(outline, 1, 20.0);
        outline.UseAlternatePoints();
        OutlinePoint* a = &outline.GetPrimaryPoints()[1];
        OutlinePoint* b = &outline.GetPrimaryPoints()[2];
        // Dragging the edge of a curve goes to the bulge.
        OutlinePoint* result =
            outline.DragEdge(top, PixelX(110), PixelY(50), PixelX(100), PixelY(50), a, b, false);
        EXPECT_EQ(result, &outline.GetPrimaryPoints()[1]);
        EXPECT_NEAR(outline.GetPrimaryPoints()[1].ownEdge.edgeR, 30, 1e-9);
        ExpectAt(outline.GetPrimaryPoints()[2].position, 100, 0, 100, "nodes stay");

        // Pulled inward past the far side, the arc would cross it.
        outline.DragArc(top, PixelX(0), PixelY(50), PixelX(150), PixelY(50),
                        &outline.GetPrimaryPoints()[1], &outline.GetPrimaryPoints()[2], skipCheck);
        EXPECT_NEAR(outline.GetPrimaryPoints()[1].ownEdge.edgeR, skipCheck ? -120 : 30, 1e-9);
    }

    Outline straight;
    Square(straight, 100);
    straight.DragArc(top, PixelX(110), PixelY(50), PixelX(100), PixelY(50),
                     &straight.GetPrimaryPoints()[1], &straight.GetPrimaryPoints()[2], false);
    EXPECT_EQ(straight.GetPrimaryPoints()[1].ownEdge.edgeR, 0.0) << "only a curve bulges";
}

TEST(OutlineEdit, SegmentCountAndTessellation) {
    struct Case {
        double chord, bulge;
        int expected;
    };
    const Case cases[] = {
        {100, 0.005, 1},   {100, -0.009, 1},   {1, 0.01, 10}, {2000, 1000, 200},
        {100, 50, 14},     {100, -50, 14},     {300, 0, 1},   {10, 1e300, 200},
        {10, INFINITY, 1}, {10, -INFINITY, 1}, {10, NAN, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Outline::SegmentCount(Vector(0, 0, 0), Vector(c.chord, 0, 0), c.bulge),
                  c.expected)
            << c.chord << " " << c.bulge;
    EXPECT_EQ(Outline::SegmentCount(Vector(NAN, 0, 0), Vector(1, 0, 0), 5), 1);

    // A semicircle on the edge from (100, 0, 0) to (100, 0, 100): 14 nodes on the circle,
    // from the start node up to, not including, the end node.
    Outline outline;
    Square(outline, 100);
    CurveEdge(outline, 1, 50);
    outline.UseAlternatePoints();
    ASSERT_EQ(outline.GetCount(), 3 + 14);
    const OutlinePoint* points = outline.GetPoints();
    ExpectAt(points[1].position, 100, 0, 0, "arc starts at its node");
    ExpectAt(points[15].position, 100, 0, 100, "next edge starts at the end node");
    for (int i = 1; i <= 14; ++i) {
        EXPECT_NEAR(points[i].position.Distance(Vector(100, 0, 50)), 50, 1e-9) << i;
        EXPECT_GE(points[i].position.x, 100) << "bulges outward";
    }
    ExpectAt(outline.GetPrimaryPoints()[1].ownEdge.direction, 1, 0, 0, "edge direction");

    // Fewer segments later: the array keeps its storage, the ring its true length.
    outline.GetPrimaryPoints()[1].ownEdge.edgeR = 5;
    outline.Refresh();
    EXPECT_EQ(outline.GetCount(), 3 + 10);
}

TEST(OutlineEdit, OvalAndEllipseFitTheOutlinesBox) {
    // Five nodes on a 100 x 50 box, so the box is fitted afresh.
    auto build = [](Outline& outline) {
        outline.edgesRoundable = true;
        BuildOutline(outline, {{0, 0, 0}, {100, 0, 0}, {100, 0, 50}, {50, 0, 50}, {0, 0, 50}});
    };
    for (bool reversed : {false, true}) {
        Outline oval;
        build(oval);
        oval.MakeOval(Vector(1, 0, 0), reversed);
        ASSERT_EQ(oval.GetPrimaryCount(), 4);
        EXPECT_TRUE(oval.HasCurves());
        oval.UseAlternatePoints();
        EXPECT_EQ(oval.GetCount(), 2 + 2 * 10);
        BoundingBox box;
        box.SetFromOutline(oval);
        ExpectAt(box.min, 0, 0, 0, "oval box min");
        ExpectAt(box.max, 100, 0, 50, "oval box max");
        EXPECT_TRUE(oval.IsSimple());
        // The straight sides keep 5 units of the long side.
        EXPECT_NEAR(
            oval.GetPrimaryPoints()[0].position.Distance(oval.GetPrimaryPoints()[1].position), 5,
            1e-9);
    }

    Outline ellipse;
    build(ellipse);
    ellipse.SetToEllipse(Vector(1, 0, 0), 8, false);
    ASSERT_EQ(ellipse.GetPrimaryCount(), 8);
    for (int i = 0; i < 8; ++i) {
        const Vector& p = ellipse.GetPrimaryPoints()[i].position;
        const double dx = (p.x - 50) / 50, dz = (p.z - 25) / 25;
        EXPECT_NEAR(dx * dx + dz * dz, 1, 1e-9) << i;
        EXPECT_EQ(p.y, 0) << i;
    }
    EXPECT_NEAR(std::fabs(ellipse.normal.y), 1, 1e-12);

    Outline pair;
    BuildOutline(pair, {{0, 0, 0}, {10, 0, 0}});
    pair.MakeOval(Vector(1, 0, 0), false);
    pair.SetToEllipse(Vector(1, 0, 0), 8, false);
    EXPECT_EQ(pair.GetPrimaryCount(), 2) << "two nodes have no box to fill";
    Outline square;
    Square(square, 10);
    const std::vector<Vector> before = Positions(square);
    square.SetToEllipse(Vector(1, 0, 0), 2, false);
    ExpectUnchanged(square, before, "an ellipse of two nodes");
}

}  // namespace
