#include "slabs/ParametricShape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "foundation/KeyDataList.h"
#include "support/WallFixtures.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A control with the factory defaults, whose molding state the shapes read and write.
class ParametricShapeTest : public ::testing::Test {
protected:
    WallScene s;
    BaseMoldingState& defaults = s.control.baseMoldingState;

    std::unique_ptr<ParametricShape> Make(int code, double r0, double r1) {
        defaults.SetDouble(0, r0);
        defaults.SetDouble(1, r1);
        return ParametricShape::Make(code, nullptr);
    }
};

TEST_F(ParametricShapeTest, CurvedKindsChooseTheirPointCountFromTheSizes) {
    struct Case {
        int code;
        double r0, r1;
        int count;
    } cases[] = {
        {ParametricShape::kOval, 1.0, 2.99, 4},   {ParametricShape::kOval, 1.0, 3.0, 8},
        {ParametricShape::kOval, 8.0, 8.0, 12},   {ParametricShape::kOval, 16.0, 16.0, 16},
        {ParametricShape::kTube, 1.0, 2.99, 8},   {ParametricShape::kTube, 2.0, 2.0, 16},
        {ParametricShape::kTube, 10.0, 10.0, 24}, {ParametricShape::kTube, 16.0, 16.0, 32},
    };
    for (const Case& c : cases) {
        auto shape = Make(c.code, c.r0, c.r1);
        EXPECT_EQ(shape->GetCount(), c.count) << c.code << " " << c.r0 << " " << c.r1;
    }
}

TEST_F(ParametricShapeTest, HalfOvalRunsOverTheTopAndClosesOnItsBase) {
    auto oval = Make(ParametricShape::kOval, 1.0, 2.99);
    ASSERT_EQ(oval->GetCount(), 4);
    const Vector* p = oval->GetPoints();
    // Angles 90, 150, 210 and 270 degrees.
    for (int i = 0; i < 4; ++i) {
        const double a = (90.0 + 60.0 * i) * kPi / 180.0;
        EXPECT_NEAR(p[i].y, -2.99 * std::sin(a), 1e-12);
        EXPECT_NEAR(p[i].z, -1.0 * std::cos(a), 1e-12);
    }
    EXPECT_NEAR(p[0].y, -2.99, 1e-12);
    EXPECT_NEAR(p[3].y, 2.99, 1e-12);
    const Vector& last = oval->GetNormals()[3];
    EXPECT_DOUBLE_EQ(last.y, 0.0);
    EXPECT_DOUBLE_EQ(last.z, -1.0);

    auto tube = Make(ParametricShape::kTube, 3.0, 5.0);
    const Vector* t = tube->GetPoints();
    const int n = tube->GetCount();
    EXPECT_NEAR(t[n - 1].y, t[0].y, 1e-12);
    EXPECT_NEAR(t[n - 1].z, t[0].z, 1e-12);
}

TEST_F(ParametricShapeTest, FixedKindsPlaceTheirPointsAndReportTheirCentring) {
    struct Case {
        int code;
        std::vector<std::pair<double, double>> points;
        bool depthCentred, widthCentred, tube;
    } cases[] = {
        {ParametricShape::kRect, {{-3, 0}, {-3, 2}, {3, 2}, {3, 0}}, false, true, false},
        {ParametricShape::kSquareTube, {{-3, -2}, {-3, 2}, {3, 2}, {3, -2}}, true, true, false},
        {ParametricShape::kTriangle, {{-3, 0}, {3, 0}, {-3, 2}}, false, true, false},
        {ParametricShape::kTriangularTube, {{-3, -2}, {-3, 2}, {3, 0}}, true, true, true},
    };
    for (const Case& c : cases) {
        auto shape = Make(c.code, 2.0, 3.0);
        ASSERT_EQ(shape->GetCount(), static_cast<int>(c.points.size())) << c.code;
        for (size_t i = 0; i < c.points.size(); ++i) {
            EXPECT_DOUBLE_EQ(shape->GetPoints()[i].y, c.points[i].first) << c.code << " " << i;
            EXPECT_DOUBLE_EQ(shape->GetPoints()[i].z, c.points[i].second) << c.code << " " << i;
        }
        EXPECT_EQ(shape->IsDepthCentered(), c.depthCentred) << c.code;
        EXPECT_EQ(shape->IsWidthCentered(), c.widthCentred) << c.code;
        EXPECT_EQ(shape->IsTube(), c.tube) << c.code;
    }
    EXPECT_FALSE(ParametricShape::IsTubeType(ParametricShape::kSquareTube));
    EXPECT_TRUE(ParametricShape::IsTubeType(ParametricShape::kTube));
    EXPECT_TRUE(ParametricShape::IsTubeType(ParametricShape::kTriangularTube));
    // The rounded rectangle: ten points, its fixed normals at 0, 4, 8 and 9.
    auto round = Make(ParametricShape::kRoundRect, 2.0, 3.0);
    ASSERT_EQ(round->GetCount(), 10);
    EXPECT_DOUBLE_EQ(round->GetPoints()[4].y, -2.4);
    EXPECT_DOUBLE_EQ(round->GetPoints()[4].z, 2.0);
    EXPECT_DOUBLE_EQ(round->GetNormals()[4].z, 1.0);
    EXPECT_DOUBLE_EQ(round->GetNormals()[9].z, -1.0);
    EXPECT_NEAR(Make(ParametricShape::kRect, 2.0, 3.0)->ComputeArea(), 12.0, 1e-12);
}

TEST_F(ParametricShapeTest, OnlyPositiveSizesAreTakenAndBecomeTheDefaults) {
    auto shape = Make(ParametricShape::kRect, 2.0, 3.0);
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        shape->SetParameter(0, bad);
        EXPECT_DOUBLE_EQ(shape->GetRadius0(), 2.0);
        EXPECT_DOUBLE_EQ(defaults.GetDouble(0), 2.0);
    }
    shape->SetParameter(0, 5.0);
    EXPECT_DOUBLE_EQ(shape->GetPoints()[1].z, 5.0);
    EXPECT_DOUBLE_EQ(defaults.GetDouble(0), 5.0);
    shape->Scale(2.0);
    EXPECT_DOUBLE_EQ(shape->GetRadius0(), 10.0);
    EXPECT_DOUBLE_EQ(shape->GetRadius1(), 6.0);
    // A new kind made from the old keeps its sizes.
    auto next = ParametricShape::Make(ParametricShape::kOval, shape.get());
    EXPECT_DOUBLE_EQ(next->GetRadius0(), 10.0);
    EXPECT_DOUBLE_EQ(next->GetRadius1(), 6.0);
    EXPECT_EQ(ParametricShape::Make(9, nullptr), nullptr);
}

TEST_F(ParametricShapeTest, SavedSizesAndTriangleFlagComeBack) {
    auto triangle = Make(ParametricShape::kTriangle, 2.0, 3.0);
    static_cast<ParametricTriangle*>(triangle.get())->rightTriangle = 0;
    KeyDataList saved;
    triangle->Save(saved);
    KeyDataList* list = saved.GetSublist("shapeList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetNumber("shapeType"), 3.0);

    auto read = Make(ParametricShape::kTriangle, 1.0, 1.0);
    read->Load(*list);
    EXPECT_DOUBLE_EQ(read->GetRadius0(), 2.0);
    EXPECT_DOUBLE_EQ(read->GetRadius1(), 3.0);
    auto* t = static_cast<ParametricTriangle*>(read.get());
    EXPECT_EQ(t->rightTriangle, 0);
    // The loaded flag shows from the next regeneration on.
    EXPECT_DOUBLE_EQ(read->GetPoints()[1].y, 3.0);
    read->Regenerate();
    EXPECT_DOUBLE_EQ(read->GetPoints()[1].y, -3.0);

    // Unusable values keep the size.
    KeyDataList bad;
    bad.AddString("radius0", "nan");
    bad.AddDouble("radius1", -4.0);
    read->Load(bad);
    EXPECT_DOUBLE_EQ(read->GetRadius0(), 2.0);
    EXPECT_DOUBLE_EQ(read->GetRadius1(), 3.0);
}

TEST_F(ParametricShapeTest, TextureCoordinatesFollowEachKind) {
    auto rect = Make(ParametricShape::kRect, 2.0, 3.0);
    Vector t = rect->GetTextureCoord(Vector(5.0, 1.0, 2.0), 1);
    EXPECT_DOUBLE_EQ(t.x, -1.0);
    EXPECT_DOUBLE_EQ(t.y, 5.0);
    auto oval = Make(ParametricShape::kOval, 1.0, 1.0);
    // The base form: the distance from point k plus the outline length up to it.
    const Vector* p = oval->GetPoints();
    const double edge = std::hypot(p[1].y - p[0].y, p[1].z - p[0].z);
    t = oval->GetTextureCoord(Vector(4.0, p[1].y, p[1].z + 0.5), 1);
    EXPECT_NEAR(t.x, edge + 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(t.y, -4.0);
}

// ---- irregular profile ----

TEST_F(ParametricShapeTest, LoadedOutlinesAreTurnedIntoTheProfilePlaneAndWoundOneWay) {
    ParametricIrregularShape shape;
    shape.WaitForLoads();
    // A square in the x-y plane (normal along z): x and z swap.
    shape.TakeLoadedPoints({Vector(-1, -2, 0), Vector(1, -2, 0), Vector(1, 2, 0), Vector(-1, 2, 0)});
    ASSERT_EQ(shape.GetCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(shape.GetPoints()[i].x, 0.0);
    // Its natural half-extents become the sizes and the defaults.
    EXPECT_DOUBLE_EQ(shape.GetExtent().y, 2.0);
    EXPECT_DOUBLE_EQ(shape.GetExtent().z, 1.0);
    EXPECT_DOUBLE_EQ(shape.GetRadius0(), 2.0);
    EXPECT_DOUBLE_EQ(shape.GetRadius1(), 1.0);
    EXPECT_DOUBLE_EQ(defaults.GetDouble(0), 2.0);
    // Wound so that the polygon's normal does not point along +x.
    Vector n;
    n.PolygonNormal(shape.GetPoints(), 4);
    EXPECT_LE(n.x, 0.0);
    // A polygon in the x-z plane takes the cyclic map (x, y, z) -> (y, z, x).
    shape.TakeLoadedPoints({Vector(0, 0, 0), Vector(3, 0, 0), Vector(3, 0, 5), Vector(0, 0, 5)});
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(shape.GetPoints()[i].x, 0.0);
    EXPECT_DOUBLE_EQ(shape.GetExtent().y, 5.0);
    EXPECT_DOUBLE_EQ(shape.GetExtent().z, 3.0);
    // With kept sizes, the outline is stretched to them.
    shape.SetKeepRadii(true);
    shape.SetParameter(0, 10.0);
    shape.SetParameter(1, 6.0);
    shape.TakeLoadedPoints({Vector(0, -1, -1), Vector(0, -1, 1), Vector(0, 1, 1), Vector(0, 1, -1)});
    EXPECT_DOUBLE_EQ(shape.GetRadius0(), 10.0);
    EXPECT_FALSE(shape.GetKeepRadii());
    double maxY = 0.0;
    for (int i = 0; i < 4; ++i) maxY = std::max(maxY, std::fabs(shape.GetPoints()[i].y));
    EXPECT_DOUBLE_EQ(maxY, 10.0);
    // A file without vertices leaves no profile.
    shape.TakeLoadedPoints({});
    EXPECT_EQ(shape.GetCount(), 0);
    EXPECT_DOUBLE_EQ(shape.GetExtent().y, 1.0);
}

TEST_F(ParametricShapeTest, OutlinesAreCopiedFromAnotherShapeButNeverFromItself) {
    ParametricIrregularShape a;
    ParametricIrregularShape b;
    a.WaitForLoads();
    b.WaitForLoads();
    a.TakeLoadedPoints({Vector(0, -2, -1), Vector(0, -2, 1), Vector(0, 2, 1)});
    b.SetOutline(a);
    ASSERT_EQ(b.GetCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(b.GetPoints()[i].y, a.GetPoints()[i].y);
    EXPECT_DOUBLE_EQ(b.GetRadius0(), a.GetRadius0());
    b.SetOutline(b);
    EXPECT_EQ(b.GetCount(), 3);
    EXPECT_DOUBLE_EQ(b.GetPoints()[2].y, a.GetPoints()[2].y);
}

TEST_F(ParametricShapeTest, NamesThatRepeatOrDoNotFitStartNoLoad) {
    ParametricIrregularShape shape;
    shape.WaitForLoads();
    shape.LoadShapeAsync("profiles/crown.geo");
    EXPECT_STREQ(shape.GetUrl(), "profiles/crown.geo");
    shape.LoadShapeAsync("PROFILES/CROWN.GEO");
    EXPECT_STREQ(shape.GetUrl(), "profiles/crown.geo");
    const std::string longName(ParametricIrregularShape::kUrlSize, 'a');
    shape.LoadShapeAsync(longName.c_str());
    EXPECT_STREQ(shape.GetUrl(), "profiles/crown.geo");
    shape.WaitForLoads();
    // The saved name comes back with the sizes kept.
    KeyDataList saved;
    shape.Save(saved);
    EXPECT_STREQ(saved.GetSublist("shapeList")->GetString("url"), "profiles/crown.geo");
}

TEST_F(ParametricShapeTest, AShapeGoingWhileItsLoadsRunWaitsForThem) {
    // Several loads of names that cannot be fetched are still running when the shape goes
    // (with the render lock held, as the editor deletes shapes): each is cancelled and
    // joined, none touches the freed shape.
    s.control.LockRender();
    for (int round = 0; round < 5; ++round) {
        auto shape = std::make_unique<ParametricIrregularShape>();
        shape->LoadShapeAsync("first/profile.3c_");
        shape->LoadShapeAsync("second/profile.geo");
        shape.reset();
    }
    s.control.UnlockRender();
    SUCCEED();
}

}  // namespace
