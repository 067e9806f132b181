#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "foundation/KeyDataList.h"
#include "geometry/BoundingBox.h"
#include "geometry/Outline.h"
#include "interaction/Grid.h"
#include "platform/Menu.h"
#include "render/Window.h"
#include "support/TestControl.h"

namespace {

// A square slab of side 200 centred on the origin, in the plane through the origin
// with the given normal, as a grid sees its slab.
class SquareSlab : public GridOwner {
public:
    explicit SquareSlab(const Vector& normal, double height = 0.0) {
        outline.SetNormal(normal);
        // Two axes across the normal.
        Vector u = std::fabs(normal.y) > 0.5 ? Vector(1, 0, 0) : Vector(0, 1, 0);
        Vector v;
        v.Cross(normal, u);
        u.Cross(v, normal);
        const double corners[4][2] = {{-100, -100}, {100, -100}, {100, 100}, {-100, 100}};
        for (int i = 0; i < 4; ++i) {
            Vector p(u.x * corners[i][0] + v.x * corners[i][1],
                     u.y * corners[i][0] + v.y * corners[i][1] + height,
                     u.z * corners[i][0] + v.z * corners[i][1]);
            outline.InsertPoint(p, i, false);
        }
        box.SetFromOutline(outline);
    }
    const Outline& GetGridOutline() const override { return outline; }
    const BoundingBox& GetGridBounds() const override { return box; }
    double GetGridHandleSize() const override { return 2.0; }
    int GetGridKindCode() const override { return KindCode::kFloor; }

    Outline outline;
    BoundingBox box;
};

void ExpectAt(const Vector& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

class GridTest : public ::testing::Test {
protected:
    ScopedProgramFolder programFolder;
    TestControl control;
};

// On a slab facing the viewer the plane coordinates are x and y; points go to the
// nearest multiple of the size from the grid's origin, halves going up.
TEST_F(GridTest, PointsSnapToTheNearestLatticePoint) {
    SquareSlab wall(Vector(0, 0, -1));
    Grid grid(&wall);
    grid.size = 12;
    const struct {
        double x, y, snappedX, snappedY;
    } cases[] = {
        {17, 5, 12, 0}, {18, 6, 24, 12}, {-6, -7, 0, -12}, {6, -6, 12, 0}, {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Vector p(c.x, c.y, 0);
        grid.SnapToGrid(p);
        ExpectAt(p, c.snappedX, c.snappedY, 0);
    }
    // The lattice runs through the grid's origin.
    grid.position = Vector(5, 2, 0);
    Vector p(17, 5, 0);
    grid.SnapToGrid(p);
    ExpectAt(p, 17, 2, 0);
}

// On a floor the grid lies across x and z and the height stays; on a wall facing +x,
// across y and z.
TEST_F(GridTest, SnappingStaysInTheSlabsPlane) {
    SquareSlab floor(Vector(0, 1, 0), 30);
    Grid onFloor(&floor);
    onFloor.size = 12;
    Vector p(17, 30, -19);
    onFloor.SnapToGrid(p);
    ExpectAt(p, 12, 30, -24);

    SquareSlab wall(Vector(1, 0, 0));
    Grid onWall(&wall);
    onWall.size = 10;
    Vector q(0, 14, 26);
    onWall.SnapToGrid(q);
    ExpectAt(q, 0, 10, 30);
}

// Turned by 45 degrees the lattice turns about the normal through the grid's origin.
TEST_F(GridTest, TurnedGridSnapsToTheTurnedLattice) {
    SquareSlab wall(Vector(0, 0, -1));
    Grid grid(&wall);
    grid.size = 10;
    grid.angle = 45;
    const double h = 10 / std::sqrt(2.0);
    Vector p(7, -7.2, 0);
    grid.SnapToGrid(p);
    ExpectAt(p, h, -h, 0);
    Vector q(14, 0.3, 0);
    grid.SnapToGrid(q);
    ExpectAt(q, 2 * h, 0, 0);
}

// A size that is not a positive number never divides: an inch is the finest spacing,
// a centimetre in metric.
TEST_F(GridTest, UnusableSizesSnapToTheFinestSpacing) {
    SquareSlab wall(Vector(0, 0, -1));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double cm = 1 / 2.54;
    const struct {
        double size;
        bool metric;
        double spacing;
    } cases[] = {
        {0, false, 1},     {-3, false, 1},   {nan, false, 1}, {inf, false, 1}, {0.5, false, 1},
        {0, true, cm},     {-1, true, cm},   {nan, true, cm}, {0.2, true, cm}, {0.5, true, 0.5},
        {12, true, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        control.globalState.SetBoolean(7, c.metric);
        Grid grid(&wall);
        grid.size = c.size;
        EXPECT_DOUBLE_EQ(grid.GetSpacing(), c.spacing);
        Vector p(2.6, -1.4, 0);
        grid.SnapToGrid(p);
        ExpectAt(p, std::floor(2.6 / c.spacing + 0.5) * c.spacing,
                 std::floor(-1.4 / c.spacing + 0.5) * c.spacing, 0);
    }
    control.globalState.SetBoolean(7, false);
}

TEST_F(GridTest, LinesAreDrawnAtLeastFiveApartInWholeUnits) {
    SquareSlab wall(Vector(0, 0, -1));
    Grid grid(&wall);
    for (auto [size, step] : {std::pair{2.0, 6}, std::pair{7.5, 7}, std::pair{12.0, 12},
                              std::pair{0.0, 5}, std::pair{1.5, 6}}) {
        grid.size = size;
        EXPECT_EQ(grid.GetLineStep(), step) << size;
    }
}

TEST_F(GridTest, MenuTurnsTheGridAndChangesItsSize) {
    SquareSlab wall(Vector(0, 0, -1));
    Grid grid(&wall);
    grid.size = 12;
    platform::Menu menu;
    grid.BuildPropertyMenu(menu);
    ASSERT_EQ(menu.GetItemCount(), 3u);
    EXPECT_EQ(menu.GetItem(0).text, "Rotate Grid By 45\xC2\xBA");
    EXPECT_EQ(menu.GetItem(1).text, "Change Grid Size To 13 inches");
    EXPECT_EQ(menu.GetItem(2).text, "Change Grid Size To 11 inches");

    // Three turns: 45, 0, 45.
    for (double expected : {45.0, 0.0, 45.0}) {
        grid.rebuild = 0;
        EXPECT_TRUE(grid.ProcessPropertyMenu(Grid::kRotateCommand));
        EXPECT_EQ(grid.angle, expected);
        EXPECT_TRUE(grid.rebuild);
    }
    EXPECT_TRUE(grid.ProcessPropertyMenu(Grid::kCoarserCommand));
    EXPECT_EQ(grid.size, 13);
    // Finer stops at an inch.
    grid.size = 2;
    for (double expected : {1.0, 1.0}) {
        EXPECT_TRUE(grid.ProcessPropertyMenu(Grid::kFinerCommand));
        EXPECT_EQ(grid.size, expected);
    }
    EXPECT_FALSE(grid.ProcessPropertyMenu(4711));
    EXPECT_EQ(grid.GetKindCode(), KindCode::kFloor);
}

// The origin follows a drag in the slab's plane, but not beyond half the slab's
// diagonal from its centre.
TEST_F(GridTest, DraggedOriginStaysOverTheSlab) {
    SquareSlab wall(Vector(0, 0, -1));
    Grid grid(&wall);
    // A view 100 pixels square showing x and y from -50 to 50 along -z.
    Window view([](int) { return nullptr; });
    const int viewport[4] = {0, 0, 100, 100};
    for (int i = 0; i < 4; ++i) view.viewportCache[i] = viewport[i];
    for (int i = 0; i < 16; ++i) {
        view.modelViewCache[i] = i % 5 == 0 ? 1.0 : 0.0;
        view.projectionCache[i] = i % 5 == 0 ? (i == 15 ? 1.0 : 1.0 / 50) : 0.0;
    }
    control.activeWindow = &view;

    grid.rebuild = 0;
    grid.DragGridOrigin(60, 50, 50, 50);
    ExpectAt(grid.position, 10, 0, 0);
    EXPECT_TRUE(grid.rebuild);
    for (int i = 0; i < 3; ++i) grid.DragGridOrigin(90, 50, 50, 50);
    ExpectAt(grid.position, 130, 0, 0);
    // 150 from the centre is beyond 141.4: taken back.
    grid.DragGridOrigin(70, 50, 50, 50);
    ExpectAt(grid.position, 130, 0, 0);
    control.activeWindow = nullptr;
}

TEST_F(GridTest, WrittenGridReadsBackWhole) {
    SquareSlab wall(Vector(0, 0, -1));
    Grid grid(&wall);
    grid.size = 16;
    grid.angle = -30;
    grid.position = Vector(12, 3.5, -8);
    grid.SetLocked(true);
    KeyDataList list;
    grid.Write(list, "grid");
    KeyDataList* keys = list.GetSublist("grid");
    ASSERT_NE(keys, nullptr);

    Grid copy(&wall);
    copy.Read(*keys);
    EXPECT_EQ(copy.size, 16);
    EXPECT_EQ(copy.angle, -30);
    ExpectAt(copy.position, 12, 3.5, -8);
    EXPECT_TRUE(copy.IsLocked());

    // A size that is not a positive number is not taken; missing keys change nothing.
    for (const char* bad : {"0", "-4", "nan", "inf"}) {
        KeyDataList damaged;
        damaged.AddString("gridSize", bad);
        copy.Read(damaged);
        EXPECT_EQ(copy.size, 16) << bad;
    }
    EXPECT_EQ(copy.angle, -30);
    EXPECT_TRUE(copy.IsLocked());
}

}  // namespace
