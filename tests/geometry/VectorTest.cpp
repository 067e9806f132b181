#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "foundation/KeyDataList.h"
#include "geometry/Vector.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTolerance = 1e-12;

void ExpectNear(const Vector& actual, const Vector& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, kTolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, kTolerance) << what;
}

void ExpectExactly(const Vector& actual, double x, double y, double z, const char* what) {
    EXPECT_EQ(actual.x, x) << what;
    EXPECT_EQ(actual.y, y) << what;
    EXPECT_EQ(actual.z, z) << what;
}

TEST(Vector, ConstructionSettingAndArithmetic) {
    Vector v(1, 2, 3);
    EXPECT_EQ(v.w, 1.0);
    v.Set(4, 5, 6, 7);
    EXPECT_EQ(v.w, 7.0);
    Vector copy;
    copy.Set(v);
    EXPECT_TRUE(copy.Equals(v));
    EXPECT_EQ(copy.w, 1.0) << "Set from another vector makes a point";

    v.Negate();
    ExpectExactly(v, -4, -5, -6, "Negate");
    EXPECT_EQ(v.w, -7.0) << "Negate turns w too";

    Vector a(1, 0, 0), b(0, 1, 0);
    a.Cross(a, b);
    ExpectExactly(a, 0, 0, 1, "Cross into one of its own arguments");

    Vector p(1, 10, 1), q(4, -20, 5);
    EXPECT_DOUBLE_EQ(p.HorizontalDistance(q), 5.0) << "y is ignored";
    EXPECT_DOUBLE_EQ(Vector(0, 0, 0).Distance(Vector(2, 3, 6)), 7.0);
    Vector m = p.Midpoint(q);
    ExpectExactly(m, 2.5, -5, 3, "Midpoint");
    EXPECT_EQ(m.w, 1.0);

    Vector s(1, 2, 3);
    s.ScaleComponents(2, 3, 4);
    s.Subtract(Vector(1, 1, 1));
    s.SubtractOffset(1, 1, 1);
    ExpectExactly(s, 0, 4, 10, "ScaleComponents, Subtract, SubtractOffset");
}

TEST(Vector, NormalizeIsExactOnAxesAndLeavesZeroAlone) {
    struct Case {
        Vector in;
        Vector out;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 0}},
        {{0, 5, 0}, {0, 1, 0}},
        {{-3, 0, 0}, {-1, 0, 0}},
        {{0, 0, 1e-150}, {0, 0, 1}},
        {{3, 4, 0}, {0.6, 0.8, 0}},
        // Overflowing length: the vector is left as it is rather than turned to NaN.
        {{1e200, 1e200, 0}, {1e200, 1e200, 0}},
    };
    for (const Case& c : cases) {
        Vector v = c.in;
        v.Normalize();
        EXPECT_NEAR(v.x, c.out.x, 1e-15);
        EXPECT_NEAR(v.y, c.out.y, 1e-15);
        EXPECT_NEAR(v.z, c.out.z, 1e-15);
    }
    Vector axis(0, 5, 0);
    axis.Normalize();
    ExpectExactly(axis, 0, 1, 0, "axis-aligned result is exact");
}

TEST(Vector, PolygonNormals) {
    struct Case {
        const char* what;
        std::vector<Vector> points;
        Vector normal;
    } cases[] = {
        {"square counter-clockwise", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 1}},
        {"square clockwise", {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}}, {0, 0, -1}},
        {"triangle in the x-z plane", {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}}, {0, 1, 0}},
        {"collinear triangle", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, {0, 0, 0}},
        {"two points", {{0, 0, 0}, {1, 0, 0}}, {0, 0, 0}},
        {"collinear run of four", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {0, 0, 0}},
        {"concave L on the floor",
         {{0, 0, 0}, {0, 0, 2}, {1, 0, 2}, {1, 0, 1}, {2, 0, 1}, {2, 0, 0}},
         {0, 1, 0}},
        {"repeated corner", {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 1}},
        {"long thin tilted quad",
         {{0, 0, 0}, {100, 0, 0}, {100, 1, 1}, {0, 1, 1}},
         {0, -std::sqrt(0.5), std::sqrt(0.5)}},
    };
    for (const Case& c : cases) {
        Vector n(7, 7, 7);
        n.PolygonNormal(c.points.data(), static_cast<int>(c.points.size()));
        ExpectNear(n, c.normal, c.what);
    }
}

TEST(Vector, PlaneNormalClearsResidueBeforeNormalising) {
    // The cross product is (0.00025, 0, -2): its small x part is dropped.
    Vector points[] = {{0, 0, 0}, {-2, 0, -0.00025}, {-2, 1, -0.00025}};
    Vector n;
    n.PlaneNormalFromPoints(points);
    ExpectExactly(n, 0, 0, -1, "residue cleared");
}

TEST(Vector, RotationsByNinetyDegrees) {
    struct Case {
        int axis;
        Vector in;
        Vector out;
    } cases[] = {
        {0, {0, 1, 0}, {0, 0, 1}}, {1, {0, 0, 1}, {1, 0, 0}}, {1, {1, 0, 0}, {0, 0, -1}},
        {2, {1, 0, 0}, {0, 1, 0}}, {3, {1, 2, 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        Vector v = c.in;
        v.w = 0.0;
        v.RotateAboutAxisIndex(kPi / 2, c.axis);
        ExpectNear(v, c.out, "RotateAboutAxisIndex");
        EXPECT_EQ(v.w, c.axis <= 2 ? 1.0 : 0.0);
    }

    // About an arbitrary unit axis the turn is the other way round.
    Vector v(1, 0, 0);
    v.RotateAboutAxis(kPi / 2, Vector(0, 0, 1));
    ExpectNear(v, {0, -1, 0}, "RotateAboutAxis about z");
    Vector d(1, 1, 0);
    d.RotateAboutAxis(2 * kPi / 3,
                      Vector(1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0)));
    ExpectNear(d, {1, 0, 1}, "RotateAboutAxis about the diagonal");

    // Carrying a plane's normal n onto +z: axis (-n.y, n.x, 0), angle acos(n.z).
    Vector n(0, 0.6, 0.8);
    Vector k(-n.y, n.x, 0);
    k.Normalize();
    n.RotateAboutAxis(std::acos(n.z), k);
    ExpectNear(n, {0, 0, 1}, "plane normal onto +z");
}

TEST(Vector, IntersectLinePlane) {
    Vector floorPoint(0, 1, 0), up(0, 1, 0);
    struct Case {
        const char* what;
        Vector p1, p2;
        bool hits;
        Vector result;
    } cases[] = {
        {"through the plane", {2, 3, 4}, {2, -1, 4}, true, {2, 1, 4}},
        {"beyond the segment", {0, 5, 0}, {1, 3, 0}, true, {2, 1, 0}},
        {"parallel", {0, 2, 0}, {5, 2, 5}, false, {9, 9, 9}},
        {"inside the plane", {0, 1, 0}, {5, 1, 5}, false, {9, 9, 9}},
        {"points coincide", {3, 3, 3}, {3, 3, 3}, false, {9, 9, 9}},
        // So nearly parallel that the meeting point is not representable.
        {"nearly parallel", {0, 2, 0}, {1e300, std::nextafter(2.0, 0.0), 0}, false, {9, 9, 9}},
    };
    for (const Case& c : cases) {
        Vector v(9, 9, 9);
        v.w = 0.0;
        EXPECT_EQ(v.IntersectLinePlane(c.p1, c.p2, floorPoint, up), c.hits) << c.what;
        ExpectNear(v, c.result, c.what);
        EXPECT_EQ(v.w, c.hits ? 1.0 : 0.0) << c.what;
    }
}

TEST(Vector, IntersectPlaneAlongDirection) {
    Vector plane(0, 1, 0);
    plane.w = -2;  // y = 2
    struct Case {
        const char* what;
        Vector direction;
        bool hits;
        double t;
        Vector result;
    } cases[] = {
        {"down to the plane", {0, 1, 0}, true, 3, {1, 2, 1}},
        {"against a longer direction", {0, -2, 0}, true, -1.5, {1, 2, 1}},
        {"slanted", {1, 1, 0}, true, 3, {-2, 2, 1}},
        {"parallel", {1, 0, 0}, false, 0, {1, 5, 1}},
        {"zero direction", {0, 0, 0}, false, 0, {1, 5, 1}},
    };
    for (const Case& c : cases) {
        Vector p(1, 5, 1);
        bool hit = !c.hits;
        EXPECT_DOUBLE_EQ(p.IntersectPlaneAlongDirection(plane, c.direction, &hit), c.t) << c.what;
        EXPECT_EQ(hit, c.hits) << c.what;
        ExpectNear(p, c.result, c.what);
    }
}

TEST(Vector, ProjectOntoLine) {
    Vector a(0, 0, 0), b(4, 0, 0);
    struct Case {
        const char* what;
        Vector point, lineEnd;
        double t;
        Vector foot;
    } cases[] = {
        {"between the ends", {1, 3, 0}, b, 0.25, {1, 0, 0}},
        {"beyond b", {6, 0, -2}, b, 1.5, {6, 0, 0}},
        {"before a", {-2, 1, 1}, b, -0.5, {-2, 0, 0}},
        {"line of one point", {5, 5, 5}, a, 0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        Vector foot(9, 9, 9);
        foot.w = 0;
        EXPECT_DOUBLE_EQ(c.point.ProjectOntoLine(a, c.lineEnd, foot), c.t) << c.what;
        ExpectNear(foot, c.foot, c.what);
        EXPECT_EQ(foot.w, 1.0);
    }
}

TEST(Vector, TriangleGradientFollowsU) {
    Vector positions[] = {{1, 1, 1}, {3, 1, 1}, {1, 4, 1}};
    struct Case {
        const char* what;
        Vector coords[3];
        Vector gradient;
    } cases[] = {
        {"u along the first edge", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {2, 0, 0}},
        {"u along the second edge", {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {0, 3, 0}},
        {"u stretched twice", {{5, 5, 0}, {7, 5, 0}, {5, 6, 0}}, {1, 0, 0}},
        {"collinear coordinates keep the old value", {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}}, {8, 8, 8}},
        {"determinant below 1e-5", {{0, 0, 0}, {0.001, 0, 0}, {0, 0.001, 0}}, {8, 8, 8}},
    };
    for (const Case& c : cases) {
        Vector g(8, 8, 8);
        g.TriangleGradient(positions, c.coords);
        ExpectNear(g, c.gradient, c.what);
    }
}

TEST(Vector, ChildListRoundTripKeepsSixDecimals) {
    KeyDataList list;
    Vector written(1.25, -3.12345678, 1e6 / 3);
    written.w = 0.0;
    written.WriteChild(list, "Position");

    const KeyDataList* child = list.GetSublist("Position");
    ASSERT_EQ(child->GetCount(), 3u) << "w is not stored";
    const char* keys[] = {"X", "Y", "Z"};
    int i = 0;
    for (auto* member = child->GetFirstMember(); member; member = member->GetNextMember()) {
        EXPECT_STREQ(member->GetName(), keys[i++]);
    }
    EXPECT_STREQ(child->GetString("X"), "1.250000");

    Vector read(9, 9, 9);
    read.w = 5;
    read.ReadChild(list, "position");
    ExpectExactly(read, 1.25, -3.123457, 333333.333333, "round trip");
    EXPECT_EQ(read.w, 5.0) << "w is not read";
}

TEST(Vector, ReadingKeepsWhatTheListDoesNotHold) {
    KeyDataList list;
    list.AddSublist("Empty");
    KeyDataList* partial = list.AddSublist("Partial");
    partial->AddString("Y", "2.5");
    partial->AddString("Z", "1e999");
    list.AddString("Element", "1");
    struct Case {
        const char* name;
        Vector expected;
    } cases[] = {
        {"Missing", {7, 8, 9}},
        {"Empty", {7, 8, 9}},
        {"Element", {7, 8, 9}},    // an element, not a child list
        {"Partial", {7, 2.5, 9}},  // no X; Z beyond the double range
    };
    for (const Case& c : cases) {
        Vector v(7, 8, 9);
        v.ReadChild(list, c.name);
        ExpectExactly(v, c.expected.x, c.expected.y, c.expected.z, c.name);
    }

    KeyDataList flat;
    flat.AddString("x", "-4");
    flat.AddString("Z", "not a number");
    Vector v(7, 8, 9);
    v.Read(flat);
    ExpectExactly(v, -4, 8, 0, "Read on the list itself");
}

}  // namespace
