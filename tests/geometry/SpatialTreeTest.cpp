#include <gtest/gtest.h>

#include "geometry/SpatialTree.h"
#include "model/SceneView.h"
#include "support/SceneFixtures.h"
#include "support/TestTerrain.h"

namespace {

// A root over [0, 900] x [0, 900]: middle cells of 300, leaves of 100.
class SpatialTreeTest : public ::testing::Test {
protected:
    // A node in the middle of every leaf, each leaf's nodes at the given height.
    void FillGrid(double height) {
        for (int iz = 0; iz < 9; ++iz)
            for (int ix = 0; ix < 9; ++ix)
                tree.AddNode(terrain.MakeNode(ix * 100 + 50, height, iz * 100 + 50));
    }
    NineTree* Leaf(int middle, int leaf) { return tree.children[middle]->children[leaf]; }

    ScopedProgramFolder programFolder;
    SceneTestControl control;
    TestTerrain terrain;
    NineTree tree{0, nullptr, 0, 900, 0, 900, &terrain};
};

TEST_F(SpatialTreeTest, ThreeByThreeCellsTwoLevelsDeep) {
    NineTree* middle = tree.children[4];
    EXPECT_EQ(middle->box.min.x, 300);
    EXPECT_EQ(middle->box.max.x, 600);
    EXPECT_EQ(middle->box.min.z, 300);
    EXPECT_EQ(middle->box.max.z, 600);
    NineTree* leaf = middle->children[8];
    EXPECT_TRUE(leaf->IsLeaf());
    EXPECT_EQ(leaf->parent, middle);
    EXPECT_DOUBLE_EQ(leaf->box.min.x, 500);
    EXPECT_DOUBLE_EQ(leaf->box.max.x, 600);
    EXPECT_DOUBLE_EQ(leaf->box.min.z, 500);
    // The culling box reaches a fifth beyond the cell on every side.
    EXPECT_DOUBLE_EQ(leaf->cullCorners[0].x, 480);
    EXPECT_DOUBLE_EQ(leaf->cullCorners[0].z, 480);
    EXPECT_DOUBLE_EQ(leaf->cullCorners[4].x, 620);
    EXPECT_DOUBLE_EQ(leaf->cullCorners[4].z, 620);
    EXPECT_EQ(leaf->cullCorners[4].x, leaf->cullCorners[5].x);
}

TEST_F(SpatialTreeTest, NodesOnAMaxEdgeArePlacedButNotFoundThere) {
    TerrainNode* edge = terrain.MakeNode(300, 0, 300);
    EXPECT_EQ(tree.AddNode(edge), tree.children[0]->children[8]) << "(200, 300] holds 300";
    EXPECT_EQ(tree.AddNode(terrain.MakeNode(0, 0, 50)), &tree) << "x 0 lies in no cell";
    EXPECT_EQ(tree.AddNode(terrain.MakeNode(950, 0, 50)), &tree);
    EXPECT_EQ(tree.NearestNodeId(Vector(300, 0, 300)), -1) << "a boundary point is in no leaf";
    EXPECT_EQ(tree.NearestNodeId(Vector(299, 0, 299)), edge->index);
    EXPECT_EQ(tree.NearestNodeId(Vector(50, 0, 50)), -1) << "a leaf without nodes";
}

TEST_F(SpatialTreeTest, NearestNodeOfTheLeafFirstOnTies) {
    NineTree* leaf = Leaf(0, 0);
    TerrainNode* a = terrain.MakeNode(20, 0, 50);
    TerrainNode* b = terrain.MakeNode(80, 0, 50);
    TerrainNode* c = terrain.MakeNode(50, 90, 90);
    for (TerrainNode* n : {a, b, c}) EXPECT_EQ(tree.AddNode(n), leaf);
    EXPECT_EQ(tree.NearestNodeId(Vector(50, 0, 50)), a->index) << "a tie: the first";
    EXPECT_EQ(tree.NearestNodeId(Vector(60, -500, 50)), b->index) << "height does not count";
    EXPECT_EQ(tree.NearestNodeId(Vector(50, 0, 80)), c->index);
}

TEST_F(SpatialTreeTest, HeightRangesRiseToTheRoot) {
    FillGrid(0.0);
    tree.InvalidateAll();
    EXPECT_TRUE(tree.IsFlat());
    TerrainNode* hill = terrain.grid[40].get();  // the centre leaf
    hill->position.y = 70;
    tree.UpdateHeightAt(hill);
    TerrainNode* pit = terrain.grid[0].get();
    pit->position.y = -30;
    tree.UpdateHeightAt(pit);
    EXPECT_EQ(tree.box.min.y, -30);
    EXPECT_EQ(tree.box.max.y, 70);
    EXPECT_EQ(tree.children[4]->box.max.y, 70);
    EXPECT_EQ(tree.children[4]->box.min.y, 0);
    EXPECT_EQ(tree.children[0]->box.min.y, -30);
    EXPECT_EQ(tree.cullCorners[0].y, -30);
    EXPECT_EQ(tree.cullCorners[1].y, 70);
    EXPECT_EQ(tree.dirty, 1);
}

// A view that culls every cell whose culling box starts at x 400 or beyond.
class CullingView : public FakeView {
public:
    bool HitTestPolygon(const Vector* points, int count, bool) override {
        ++hitTests;
        return count == 8 && points[0].x >= 400;
    }
};

TEST_F(SpatialTreeTest, CulledCellsHideTheirSubtree) {
    CullingView view;
    view.viewId = 33;  // bit 1
    tree.UpdateVisibility(view);
    EXPECT_EQ(tree.cullMask, 0u) << "never the root";
    EXPECT_EQ(tree.children[0]->cullMask, 0u);
    EXPECT_EQ(tree.children[2]->cullMask, 2u) << "x 600..900, box from 540";
    EXPECT_EQ(Leaf(2, 4)->cullMask, 2u) << "copied from the culled parent";
    EXPECT_EQ(Leaf(1, 0)->cullMask, 0u) << "x 300..400, box from 280";
    EXPECT_EQ(Leaf(1, 1)->cullMask, 0u) << "x 400..500, box from 380";
    EXPECT_EQ(Leaf(1, 2)->cullMask, 2u) << "x 500..600, box from 480";
    EXPECT_EQ(view.hitTests, 9 + 6 * 9) << "children of culled cells are not tested";

    control.view = &view;
    EXPECT_TRUE(Leaf(2, 4)->IsCulledInActiveView());
    EXPECT_FALSE(Leaf(0, 4)->IsCulledInActiveView());
    tree.AndVisibilityMask(~2u);
    EXPECT_FALSE(Leaf(2, 4)->IsCulledInActiveView());
    control.withView = false;
    EXPECT_FALSE(tree.children[2]->IsCulledInActiveView());
}

}  // namespace
