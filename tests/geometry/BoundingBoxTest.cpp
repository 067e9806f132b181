#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "geometry/BoundingBox.h"
#include "geometry/OrientedBox.h"

namespace {

void ExpectEmpty(const BoundingBox& box) {
    EXPECT_TRUE(box.IsEmpty());
    EXPECT_EQ(box.min.x, DBL_MAX);
    EXPECT_EQ(box.min.w, DBL_MAX);
    EXPECT_EQ(box.max.x, -DBL_MAX);
    EXPECT_EQ(box.max.w, -DBL_MAX);
}

TEST(BoundingBox, StartsEmptyAndGrowsFromOnePoint) {
    BoundingBox box;
    ExpectEmpty(box);
    box.ExtendByPoints(nullptr, 0);
    ExpectEmpty(box);

    Vector p(1, -2, 3);
    box.ExtendByPoints(&p, 1);
    EXPECT_FALSE(box.IsEmpty());
    EXPECT_TRUE(box.min.Equals(p));
    EXPECT_TRUE(box.max.Equals(p));
}

TEST(BoundingBox, SetFromPointsTakesEveryPoint) {
    Vector points[] = {{1, 5, -1}, {-3, 2, 0}, {2, 7, -4}, {0, 0, 9}};
    BoundingBox box;
    box.SetFromPoints(points, 4);
    EXPECT_TRUE(box.min.Equals(Vector(-3, 0, -4)));
    EXPECT_TRUE(box.max.Equals(Vector(2, 7, 9)));
    EXPECT_EQ(box.min.w, 1.0);
    EXPECT_EQ(box.max.w, 1.0);

    box.Translate(1, 1, 1);
    EXPECT_TRUE(box.min.Equals(Vector(-2, 1, -3)));
    EXPECT_TRUE(box.max.Equals(Vector(3, 8, 10)));

    // Set again from fewer points: only those count.
    box.SetFromPoints(points, 1);
    EXPECT_TRUE(box.min.Equals(points[0]));
    EXPECT_TRUE(box.max.Equals(points[0]));
}

TEST(BoundingBox, NoPointsMakeAnEmptyBox) {
    for (int n : {0, -1}) {
        BoundingBox box;
        Vector p(1, 1, 1);
        box.SetFromPoints(&p, 1);
        box.SetFromPoints(nullptr, n);
        ExpectEmpty(box);
    }
    BoundingBox box;
    box.SetFromPoints(nullptr, 3);
    ExpectEmpty(box);
}

TEST(BoundingBox, CornersInTheirFixedOrder) {
    Vector points[] = {{0, 0, 0}, {1, 2, 3}};
    BoundingBox box;
    box.SetFromPoints(points, 2);
    const Vector expected[8] = {{0, 0, 0}, {1, 2, 3}, {0, 0, 3}, {0, 2, 0},
                                {0, 2, 3}, {1, 0, 0}, {1, 0, 3}, {1, 2, 0}};
    Vector* corners = box.ComputeCorners();
    ASSERT_EQ(corners, box.corners);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(corners[i].Equals(expected[i])) << "corner " << i;
        EXPECT_EQ(corners[i].w, 1.0);
    }
}

TEST(OrientedBox, FitsATiltedFrame) {
    // A square on the floor, seen in a frame whose X axis points to -x.
    Vector square[] = {{1, 0, 1}, {4, 0, 1}, {4, 0, 3}, {1, 0, 3}};
    OrientedBox box;
    box.SetAxes(Vector(0, 0, 1), Vector(0, 1, 0));
    EXPECT_TRUE(box.axisX.Equals(Vector(-1, 0, 0)));
    box.SetFromPoints(square, 4);
    EXPECT_TRUE(box.origin.Equals(square[0]));
    EXPECT_DOUBLE_EQ(box.max.x - box.min.x, 3.0);
    EXPECT_DOUBLE_EQ(box.max.y - box.min.y, 2.0);
    EXPECT_DOUBLE_EQ(box.max.z - box.min.z, 0.0);
    EXPECT_TRUE(box.Corner(false, false, false).Equals(Vector(4, 0, 1)));
    EXPECT_TRUE(box.Corner(true, true, false).Equals(Vector(1, 0, 3)));

    // A frame turned 45 degrees about y: a diamond becomes a square again.
    double h = 0.5 * std::sqrt(2.0);
    Vector diamond[] = {{0, 0, 0}, {1, 0, 1}, {0, 0, 2}, {-1, 0, 1}};
    OrientedBox turned;
    turned.SetAxes(Vector(h, 0, h), Vector(0, 1, 0));
    turned.SetFromPoints(diamond, 4);
    EXPECT_NEAR(turned.max.x - turned.min.x, std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(turned.max.y - turned.min.y, std::sqrt(2.0), 1e-12);
    Vector far = turned.Corner(true, true, true);
    EXPECT_NEAR(far.x, 0, 1e-12);
    EXPECT_NEAR(far.z, 2, 1e-12);
}

TEST(OrientedBox, NoPointsMakeAnEmptyBox) {
    OrientedBox box;
    box.SetAxes(Vector(0, 0, 1), Vector(0, 1, 0));
    Vector p(1, 2, 3);
    box.SetFromPoints(&p, 1);
    box.SetFromPoints(nullptr, 0);
    EXPECT_GT(box.min.x, box.max.x);
    EXPECT_EQ(box.min.x, DBL_MAX);
    EXPECT_EQ(box.max.x, -DBL_MAX);
}

}  // namespace
