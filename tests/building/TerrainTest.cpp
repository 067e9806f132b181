#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "building/Terrain.h"
#include "geometry/SpatialTree.h"
#include "support/PlanStreamCompare.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kRow = Terrain::kNodesPerRow;
// A node in the middle of the grid.
constexpr int kMiddle = 25 * kRow + 25;

class TerrainTest : public ::testing::Test {
protected:
    TerrainTest() { s.control.terrain = &terrain; }
    ~TerrainTest() override { s.control.terrain = nullptr; }

    double Height(int i) const { return terrain.GetNode(i).position.y; }
    void Select(std::initializer_list<int> nodes) {
        for (int i : nodes) terrain.GetNode(i).selected = 1;
    }

    WallScene s;
    Terrain terrain;
};

TEST_F(TerrainTest, TheGridWidensOutsideItsMiddle) {
    EXPECT_EQ(terrain.GetNode(0).position.x, -3540.0);
    EXPECT_EQ(terrain.GetNode(kRow - 1).position.x, 3102.0);
    EXPECT_EQ(terrain.GetNode(kRow * (kRow - 1)).position.z, 3102.0);
    EXPECT_EQ(terrain.GetNode(kMiddle + 1).position.x - terrain.GetNode(kMiddle).position.x, 58.0);
    // Beyond the middle 31 the spacing grows by 38 a step.
    const double d16 = Terrain::GridCoordinate(41) - Terrain::GridCoordinate(40);
    const double d17 = Terrain::GridCoordinate(42) - Terrain::GridCoordinate(41);
    EXPECT_EQ(d16, 96.0);
    EXPECT_EQ(d17, 134.0);
    // Every node, the first row and column too, lies in a leaf of the tree.
    for (int i = 0; i < Terrain::kNodeCount; ++i)
        ASSERT_NE(terrain.GetNode(i).leaf, nullptr) << i;
}

TEST_F(TerrainTest, RaisingANodeDrawsItsNeighboursAlongWithinTheSlopeLimit) {
    terrain.RaiseNode(kMiddle, 100.0);
    EXPECT_EQ(Height(kMiddle), 100.0);
    // The chain through the diagonal neighbour and the one before.
    for (int step : {kRow + 1, -1, kRow, -kRow}) {
        EXPECT_EQ(Height(kMiddle + step), 70.0) << step;
        EXPECT_EQ(Height(kMiddle + 2 * step), 40.0) << step;
        EXPECT_EQ(Height(kMiddle + 3 * step), 10.0) << step;
        EXPECT_EQ(Height(kMiddle + 4 * step), 0.0) << step;
    }
    for (int i = 0; i < Terrain::kNodeCount; ++i) ASSERT_GE(Height(i), 0.0) << i;
    // Lowering is the mirror image, and a raise never lowers a neighbour.
    terrain.Reset(false);
    terrain.RaiseNode(kMiddle, -100.0);
    EXPECT_EQ(Height(kMiddle - 1), -70.0);
    EXPECT_EQ(Height(kMiddle - 3), -10.0);
    EXPECT_EQ(Height(kMiddle - kRow), -70.0);
    terrain.GetNode(kMiddle + 1).position.y = 500.0;
    terrain.RaiseNode(kMiddle, 20.0);
    EXPECT_EQ(Height(kMiddle + 1), 500.0);
    // Edges of the grid and heights that are no number change nothing.
    terrain.Reset(false);
    terrain.RaiseNode(Terrain::kNodeCount - 1, 100.0);
    EXPECT_EQ(Height(Terrain::kNodeCount - 1), 100.0);
    terrain.RaiseNode(-1, 5.0);
    terrain.RaiseNode(Terrain::kNodeCount, 5.0);
    terrain.RaiseNode(0, std::nan(""));
    EXPECT_EQ(Height(0), 0.0);
    EXPECT_EQ(terrain.GetNode(Terrain::kNodeCount - 1).committed.y, 100.0);
}

TEST_F(TerrainTest, FlattenAndSlopeWorkOnTheSelection) {
    terrain.Flatten();
    EXPECT_EQ(Height(kMiddle), 0.0);
    terrain.GetNode(kMiddle).position.y = 10.0;
    terrain.GetNode(kMiddle + 1).position.y = -5.0;
    terrain.GetNode(kMiddle + 2).position.y = 20.0;
    Select({kMiddle, kMiddle + 1, kMiddle + 2});
    terrain.Flatten();
    for (int i : {kMiddle, kMiddle + 1, kMiddle + 2}) EXPECT_EQ(Height(i), -5.0);
    // Level ground stays level.
    terrain.Slope();
    for (int i : {kMiddle, kMiddle + 1, kMiddle + 2}) EXPECT_EQ(Height(i), -5.0);

    // A row rising from a low end to a high one becomes an even ramp.
    terrain.Reset(false);
    const int a = kMiddle, b = kMiddle + kRow, c = kMiddle + 2 * kRow, d = kMiddle + 2 * kRow + 1;
    terrain.GetNode(a).position.y = 0.0;
    terrain.GetNode(c).position.y = 58.0;
    terrain.GetNode(d).position.y = 58.0;
    Select({a, b, c, d});
    terrain.Slope();
    EXPECT_NEAR(Height(b), 29.0, 1e-9);
    EXPECT_NEAR(Height(c), 58.0, 1e-9);
    for (int i : {a, b, c, d}) ASSERT_TRUE(std::isfinite(Height(i)));
}

TEST_F(TerrainTest, HeightsAtPointsAndBeyondTheGrid) {
    EXPECT_EQ(terrain.GetHeightAt(123.0, -456.0), 0.0);
    terrain.RaiseNode(kMiddle, 58.0);
    const Vector& at = terrain.GetNode(kMiddle).position;
    EXPECT_EQ(terrain.GetHeightAt(at.x, at.z), 58.0);
    // Between the node (58), the next one in the row (0) and the one after it in its
    // column (28): on their plane.
    EXPECT_NEAR(terrain.GetHeightAt(at.x + 20.0, at.z), 38.0, 1e-9);
    // Outside the ground square the edge answers; nothing is read past the grid.
    terrain.GetNode(kRow - 1).position.y = 12.0;
    terrain.GetTree()->InvalidateAll();
    for (double x : {-1e9, -4000.0, 3500.0, 1e9}) {
        const double h = terrain.GetHeightAt(x, x);
        EXPECT_TRUE(std::isfinite(h)) << x;
    }
    EXPECT_TRUE(std::isfinite(terrain.GetHeightAt(std::nan(""), 0.0)));
}

TEST_F(TerrainTest, KeysAreReadOnlyForAGridOfTheSameSize) {
    terrain.RaiseNode(kMiddle, 40.0);
    terrain.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(terrain.TakeWrittenElement());
    KeyDataList& keys = *element->GetChildren();
    EXPECT_EQ(keys.GetNumber("maxTerrainPts"), 2500.0);

    Terrain other;
    KeyDataList wrongSize;
    wrongSize.AddDouble("maxTerrainPts", 1000.0);
    wrongSize.AddDouble("0", 77.0);
    other.ReadKeyData(wrongSize);
    EXPECT_EQ(other.GetNode(0).position.y, 0.0);
    KeyDataList noCount;
    noCount.AddDouble("0", 77.0);
    noCount.AddString("1", "nan");
    other.ReadKeyData(noCount);
    EXPECT_EQ(other.GetNode(0).position.y, 77.0);
    EXPECT_EQ(other.GetNode(1).position.y, 0.0);
    EXPECT_EQ(other.GetNode(0).committed.y, 77.0);
    other.ReadKeyData(keys);
    EXPECT_EQ(other.GetNode(kMiddle).position.y, 40.0);
    EXPECT_EQ(other.GetNode(kMiddle - 1).position.y, 10.0);
    EXPECT_EQ(other.GetNode(0).position.y, 0.0);
}

TEST_F(TerrainTest, MenuCommandsAreUndoneAndRedone) {
    // Undo finds the terrain once the plan holds anything.
    s.Add(Vector(500, 0, 0), Vector(600, 0, 0));
    terrain.GetNode(kMiddle).position.y = 10.0;
    terrain.GetNode(kMiddle + 1).position.y = -5.0;
    Select({kMiddle, kMiddle + 1});
    s.control.BeginUndoGroup();
    EXPECT_TRUE(terrain.ProcessPropertyMenu(Terrain::kFlattenSelected));
    s.control.EndUndoGroup();
    EXPECT_EQ(Height(kMiddle), -5.0);
    s.control.Undo();
    EXPECT_EQ(Height(kMiddle), 10.0);
    s.control.Redo();
    EXPECT_EQ(Height(kMiddle), -5.0);
    EXPECT_TRUE(terrain.ProcessPropertyMenu(Terrain::kToggleWireframe));
    EXPECT_TRUE(terrain.IsWireframe());
    EXPECT_TRUE(terrain.ProcessPropertyMenu(Terrain::kResetTerrain));
    EXPECT_EQ(Height(kMiddle), 0.0);
    EXPECT_EQ(terrain.SelectedCount(), 0);
}

TEST_F(TerrainTest, BandsSelectTheNodesInside) {
    const Vector& p = terrain.GetNode(kMiddle).position;
    const Vector corner1(p.x + 100.0, 0.0, p.z + 100.0), corner2(p.x - 1.0, 0.0, p.z - 1.0);
    terrain.SelectNodesInBand(corner1, corner2, true);
    EXPECT_EQ(terrain.SelectedCount(), 4);
    // With clearOutside off a second band adds to the first.
    const Vector far1(p.x - 200.0, 0.0, p.z - 200.0), far2(p.x - 150.0, 0.0, p.z - 150.0);
    terrain.SelectNodesInBand(far1, far2, false);
    EXPECT_EQ(terrain.SelectedCount(), 5);
    terrain.SelectNodesInBand(far1, far2, true);
    EXPECT_EQ(terrain.SelectedCount(), 1);
    terrain.MoveSelectedNodes(100.0);
    EXPECT_EQ(terrain.GetNode(kMiddle - 3 * kRow - 3).position.y, 100.0);
    EXPECT_EQ(terrain.GetNode(kMiddle - 3 * kRow - 2).position.y, 0.0);
}

TEST_F(TerrainTest, TheTerrainIsSavedAndOpenedWithThePlan) {
    TempFolder folder;
    terrain.RaiseNode(kMiddle, 64.0);
    const std::string first = plan_stream::Save(s.control, folder.Path() + "Ground.kvp");
    const std::vector<std::string> saved = plan_stream::Elements(first, {"Terrain"});
    ASSERT_FALSE(saved.empty());
    terrain.Reset(false);
    s.control.LoadPlanFile(first.c_str(), false);
    EXPECT_EQ(Height(kMiddle), 64.0);
    EXPECT_EQ(Height(kMiddle - 1), 34.0);
    plan_stream::ExpectSame(
        plan_stream::Elements(plan_stream::Save(s.control, folder.Path() + "Again.kvp"),
                              {"Terrain"}),
        saved);
}

}  // namespace
