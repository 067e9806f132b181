#include <GL/gl.h>
#include <gtest/gtest.h>

#include "geometry/SpatialTree.h"
#include "support/GlTestContext.h"
#include "support/TestControl.h"
#include "support/TestTerrain.h"

namespace {

// The ground [0, 900] x [0, 900] seen from above on 90 x 90 pixels: leaf cells are 10 x 10
// pixels, pixel (x, y) shows plan point (10 x, 10 y).
class SpatialTreeGlTest : public ::testing::Test {
protected:
    SpatialTreeGlTest() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 900, 0, 900, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        const GLdouble planToScreen[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
        glLoadMatrixd(planToScreen);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3ub(255, 255, 255);
        for (int iz = 0; iz < 9; ++iz)
            for (int ix = 0; ix < 9; ++ix)
                tree.AddNode(terrain.MakeNode(ix * 100 + 50, 0.0, iz * 100 + 50));
        tree.InvalidateAll();
    }

    void Run(bool running) {
        control.initialised = running ? 1 : 0;
        control.waitScreenLevel = running ? 0.0 : 1.0;
    }
    bool Lit(int x, int y) { return gl.ReadPixel(x, y)[0] == 255; }

    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{90, 90};
    TestTerrain terrain;
    NineTree tree{0, nullptr, 0, 900, 0, 900, &terrain};
};

TEST_F(SpatialTreeGlTest, AFlatTerrainIsOneQuadOfTheRoot) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    // Before the control runs: a plain quad over the whole ground, rebuilt each time.
    tree.Render();
    EXPECT_TRUE(Lit(1, 1));
    EXPECT_TRUE(Lit(88, 88));
    EXPECT_EQ(terrain.flatQuads, 0);
    EXPECT_TRUE(terrain.cells.empty());
    EXPECT_EQ(tree.dirty, 1);

    // Running: the terrain draws the quad once; the list stays.
    Run(true);
    tree.Render();
    tree.Render();
    EXPECT_EQ(terrain.flatQuads, 1);
    EXPECT_EQ(tree.dirty, 0);
    EXPECT_TRUE(terrain.cells.empty());
}

TEST_F(SpatialTreeGlTest, SlopedCellsAreDrawnByTheirNodesAndRebuiltAlone) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Run(true);
    TerrainNode* hill = terrain.grid[40].get();
    hill->position.y = 80;
    tree.UpdateHeightAt(hill);
    tree.Render();
    EXPECT_EQ(terrain.cells.size(), 81u) << "every leaf draws its node's cell";
    EXPECT_EQ(terrain.flatQuads, 0);

    terrain.cells.clear();
    tree.Render();
    EXPECT_TRUE(terrain.cells.empty()) << "nothing changed";
    hill->position.y = 40;
    tree.UpdateHeightAt(hill);
    tree.Render();
    EXPECT_EQ(terrain.cells, std::vector<uint32_t>{40}) << "only the changed leaf";
}

TEST_F(SpatialTreeGlTest, GroundOnlyUnderSunkenCells) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    terrain.grid[0]->position.y = -30;  // leaf x 0..100, z 0..100
    terrain.grid[80]->position.y = -4;  // the far corner's leaf stays above the ground
    tree.InvalidateAll();
    tree.RenderGround();
    EXPECT_TRUE(Lit(5, 5));
    EXPECT_FALSE(Lit(85, 85));
    EXPECT_FALSE(Lit(45, 45));
    EXPECT_FALSE(Lit(15, 5)) << "the next leaf";
}

}  // namespace
