#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/Outline.h"
#include "support/OutlineShapes.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Rise and run of a roof plane sloping at 30 degrees.
const double kRise = 5.0;
const double kRun = 10.0 * std::cos(kPi / 6.0);

struct Shape {
    const char* name;
    std::initializer_list<Vector> nodes;
    double area;
    double perimeter;
    double openPerimeter;
    bool simple;
    bool rectangle;
    Vector inside;
    Vector outside;
};

TEST(OutlineMeasure, HandWorkedShapes) {
    const double slant = std::sqrt(25.0 + 400.0);
    const Shape shapes[] = {
        {"square",
         {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}},
         100,
         40,
         30,
         true,
         true,
         {5, 0, 5},
         {15, 0, 5}},
        {"square, other way round",
         {{0, 0, 10}, {10, 0, 10}, {10, 0, 0}, {0, 0, 0}},
         100,
         40,
         30,
         true,
         true,
         {9, 0, 1},
         {-1, 0, 1}},
        {"L",
         {{0, 0, 0}, {20, 0, 0}, {20, 0, 10}, {10, 0, 10}, {10, 0, 20}, {0, 0, 20}},
         300,
         80,
         60,
         true,
         false,
         {5, 0, 15},
         {15, 0, 15}},
        {"notch",
         {{0, 0, 0}, {30, 0, 0}, {30, 0, 30}, {20, 0, 30}, {15, 0, 10}, {10, 0, 30}, {0, 0, 30}},
         800,
         110 + 2 * slant,
         80 + 2 * slant,
         true,
         false,
         {15, 0, 5},
         {15, 0, 20}},
        {"bow tie",
         {{0, 0, 0}, {10, 0, 10}, {10, 0, 0}, {0, 0, 10}},
         0,
         20 + 20 * std::sqrt(2.0),
         10 + 20 * std::sqrt(2.0),
         false,
         false,
         {8, 0, 5},
         {5, 0, 2}},
        {"roof plane",
         {{0, 0, 0}, {10, 0, 0}, {10, kRise, kRun}, {0, kRise, kRun}},
         100,
         40,
         30,
         true,
         true,
         {9.5, kRise * 0.95, kRun * 0.95},
         {9.5, kRise * 1.05, kRun * 1.05}},
        {"wall face",
         {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}},
         100,
         40,
         30,
         true,
         true,
         {1, 9, 0},
         {11, 9, 0}},
    };
    for (const Shape& s : shapes) {
        Outline outline;
        BuildOutline(outline, s.nodes);
        outline.ComputeNormal();
        EXPECT_NEAR(outline.GetArea(), s.area, 1e-9) << s.name;
        EXPECT_NEAR(outline.GetPerimeter(true), s.perimeter, 1e-9) << s.name;
        EXPECT_NEAR(outline.GetPerimeter(false), s.openPerimeter, 1e-9) << s.name;
        EXPECT_NEAR(outline.GetEdgeLengthSum(), s.perimeter, 1e-9) << s.name;
        EXPECT_EQ(outline.IsSimple(), s.simple) << s.name;
        EXPECT_EQ(outline.IsRectangle(), s.rectangle) << s.name;
        EXPECT_TRUE(outline.ContainsPoint(s.inside)) << s.name;
        EXPECT_FALSE(outline.ContainsPoint(s.outside)) << s.name;
    }
}

TEST(OutlineMeasure, CurvedEdgeIsMeasuredAlongItsPolyline) {
    Outline outline;
    BuildOutline(outline, {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}});
    CurveEdge(outline, 1, 5.0);  // a semicircle of ten segments bulging out to x = 15
    outline.UseAlternatePoints();
    const OutlineEdge* curved = outline.GetPrimaryPoints()[1].edge;
    const double arc = 10 * 10 * std::sin(kPi / 20);
    const double halfDisc = 0.5 * 25 * 10 * std::sin(kPi / 10);

    EXPECT_NEAR(outline.EdgeLength(curved), arc, 1e-9);
    EXPECT_NEAR(outline.GetArea(), 100 + halfDisc, 1e-9);
    EXPECT_NEAR(outline.GetPerimeter(true), 30 + arc, 1e-9);
    EXPECT_NEAR(outline.GetEdgeLengthSum(), 30 + arc, 1e-9) << "each edge counted once";
    EXPECT_FALSE(outline.IsRectangle());
    EXPECT_TRUE(outline.IsSimple());
    EXPECT_TRUE(outline.ContainsPoint(Vector(14, 0, 5)));

    // Distance along the ring: straight edges by projection, the arc by its angle about the
    // chord midpoint, which is halfway for the apex and for the midpoint itself.
    struct Case {
        Vector point;
        int edge;
        double expected;
    };
    const Case cases[] = {
        {{4, 0, 3}, 0, 4},
        {{10, 0, 0}, 1, 10},
        {{15, 0, 5}, 1, 10 + arc / 2},
        {{10, 0, 5}, 1, 10 + arc / 2},
        {{10, 0, 10}, 1, 10 + arc},
        {{10, 0, 10}, 2, 10 + arc},
        {{0, 0, 10}, 3, 20 + arc},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(outline.GetDistanceAlong(c.point, outline.GetPrimaryPoints()[c.edge].edge),
                    c.expected, 1e-9)
            << c.edge;
    OutlineEdge stranger;
    EXPECT_NEAR(outline.GetDistanceAlong(Vector(), &stranger), 30 + arc, 1e-9);
    EXPECT_EQ(outline.EdgeLength(&stranger), 0.0);

    // Straightened again, the edge is its chord even though the old ring was longer.
    outline.GetPrimaryPoints()[1].ownEdge.booleanParameter[0] = false;
    outline.Refresh();
    EXPECT_FALSE(outline.HasCurves());
    EXPECT_NEAR(outline.EdgeLength(curved), 10, 1e-12);
    EXPECT_NEAR(outline.GetEdgeLengthSum(), 40, 1e-12);
    EXPECT_TRUE(outline.IsRectangle());
}

TEST(OutlineMeasure, IsSimpleNeedsANormalAndHasNoNodeLimit) {
    Outline flat;
    BuildOutline(flat, {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}});
    EXPECT_FALSE(flat.IsSimple()) << "no plane, no answer";

    Outline ring;
    BuildOutline(ring, {{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}});
    ring.SetToEllipse(Vector(0, 0, 1), 400, false);
    ASSERT_EQ(ring.GetCount(), 400);
    EXPECT_TRUE(ring.IsSimple());
    // Swapping two nodes on opposite sides makes their edges cross the ring.
    OutlinePoint* nodes = ring.GetPrimaryPoints();
    std::swap(nodes[10].position, nodes[210].position);
    EXPECT_FALSE(ring.IsSimple());
}

TEST(OutlineMeasure, PointInPolygonOnBoundariesAndTooFewPoints) {
    const Vector triangle[] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
    for (bool boundary : {false, true}) {
        EXPECT_EQ(PointInPolygon(Vector(5, 5, 0), triangle, 3, boundary), boundary)
            << "on the slanted edge";
        EXPECT_EQ(PointInPolygon(Vector(0, 5, 0), triangle, 3, boundary), boundary)
            << "on the upright edge";
    }
    EXPECT_TRUE(PointInPolygon(Vector(2, 2, 0), triangle, 3, false));
    EXPECT_FALSE(PointInPolygon(Vector(6, 6, 0), triangle, 3, true));
    EXPECT_FALSE(PointInPolygon(Vector(1, 1, 0), triangle, 2, true));
    EXPECT_FALSE(PointInPolygon(Vector(1, 1, 0), nullptr, 3, true));
}

TEST(OutlineMeasure, RelateDisjointTouchingOverlappingAndContained) {
    auto square = [](Outline& outline, double x0, double z0, double size) {
        BuildOutline(
            outline,
            {{x0, 0, z0}, {x0 + size, 0, z0}, {x0 + size, 0, z0 + size}, {x0, 0, z0 + size}});
    };
    struct Case {
        const char* name;
        double x0, z0, size;
        bool boundary;
        int expected;
    };
    const Case cases[] = {
        {"inside", 2, 2, 6, false, Outline::kContains},
        {"around", -5, -5, 20, false, Outline::kInside},
        {"half over", 5, 0, 10, false, Outline::kOverlap},
        {"far away", 100, 100, 10, false, Outline::kDisjoint},
        {"touching along an edge", 10, 0, 10, false, Outline::kDisjoint},
    };
    for (const Case& c : cases) {
        Outline mine, other;
        square(mine, 0, 0, 10);
        square(other, c.x0, c.z0, c.size);
        EXPECT_EQ(mine.Relate(other, c.boundary), c.expected) << c.name;
    }

    // The same pairs on a roof plane.
    auto tilt = [](double x, double along) {
        return Vector(x, along * 0.5, along * std::cos(kPi / 6.0));
    };
    Outline roof, skylight, chimney, vent;
    BuildOutline(roof, {tilt(0, 0), tilt(10, 0), tilt(10, 10), tilt(0, 10)});
    BuildOutline(skylight, {tilt(2, 2), tilt(8, 2), tilt(8, 8), tilt(2, 8)});
    BuildOutline(chimney, {tilt(8, 8), tilt(12, 8), tilt(12, 12), tilt(8, 12)});
    BuildOutline(vent, {tilt(12, 2), tilt(14, 2), tilt(14, 4), tilt(12, 4)});
    EXPECT_EQ(roof.Relate(skylight, false), Outline::kContains);
    EXPECT_EQ(skylight.Relate(roof, false), Outline::kInside);
    EXPECT_EQ(roof.Relate(chimney, false), Outline::kOverlap);
    EXPECT_EQ(roof.Relate(vent, false), Outline::kDisjoint);
    EXPECT_EQ(vent.Relate(roof, false), Outline::kDisjoint);

    Outline empty, pair;
    BuildOutline(pair, {{0, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(empty.Relate(roof, true), Outline::kDisjoint);
    EXPECT_EQ(pair.Relate(roof, true), Outline::kDisjoint);
    EXPECT_EQ(roof.Relate(empty, true), Outline::kDisjoint);
}

}  // namespace
