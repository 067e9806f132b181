#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "geometry/BoundingBox.h"
#include "geometry/Outline.h"
#include "interaction/Grid.h"
#include "support/GlTestContext.h"
#include "support/PngWriter.h"
#include "support/TestControl.h"

namespace {

// A 40 x 40 slab facing the viewer in the x-y plane, its centre at the origin.
class FacingSlab : public GridOwner {
public:
    FacingSlab() {
        outline.SetNormal(Vector(0, 0, -1));
        const double corners[4][2] = {{-20, -20}, {20, -20}, {20, 20}, {-20, 20}};
        for (int i = 0; i < 4; ++i) outline.InsertPoint(Vector(corners[i][0], corners[i][1], 0), i, false);
        box.SetFromOutline(outline);
    }
    const Outline& GetGridOutline() const override { return outline; }
    const BoundingBox& GetGridBounds() const override { return box; }
    double GetGridHandleSize() const override { return 1.0; }
    int GetGridKindCode() const override { return KindCode::kWall; }

    Outline outline;
    BoundingBox box;
};

// Grey level of the pixel showing scene points (x..x+1, y..y+1): the view shows -32..32
// both ways.
int Grey(const GlTestContext& gl, int x, int y) {
    return gl.ReadPixel(x + 32, y + 32)[0];
}

// The grid's lines, compiled on the first pass and drawn from the next, lie every 6
// units (size 2) inside the circle round the slab; its origin handle is green.
TEST(GridGlTest, LinesAppearFromTheNextPassAtTheirSpacing) {
    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    FacingSlab slab;
    Grid grid(&slab);
    grid.size = 2;
    // Half a unit off, so that lines run through the middle of pixels.
    grid.position = Vector(0.5, -11.5, 0);

    auto pass = [&] {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-32, 32, -32, 32, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        grid.Draw();
        glFinish();
    };
    pass();
    EXPECT_EQ(Grey(gl, 6, 3), 0) << "compiled, not drawn yet";
    pass();
    if (const char* out = std::getenv("KIVORA_GRID_PNG")) {
        PngImage image;
        image.width = image.height = 64;
        image.colourType = 6;
        const std::vector<uint8_t> pixels = gl.ReadPixels();
        for (int row = 63; row >= 0; --row)
            image.rows.insert(image.rows.end(), pixels.begin() + row * 256,
                              pixels.begin() + (row + 1) * 256);
        const std::vector<uint8_t> png = WritePng(image);
        std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(png.data()),
                                                  static_cast<std::streamsize>(png.size()));
    }
    // Vertical lines at x = 0.5 + 6k, horizontal ones at y = 0.5 + 6k.
    EXPECT_GT(Grey(gl, 6, 3), 30);
    EXPECT_GT(Grey(gl, -18, 3), 30);
    EXPECT_EQ(Grey(gl, 3, 3), 0);
    EXPECT_GT(Grey(gl, 3, 0), 30);
    EXPECT_EQ(Grey(gl, 3, 2), 0);
    // Outside the circle of radius 28.3 about the slab's centre there are none.
    EXPECT_EQ(Grey(gl, 24, 24), 0);
    // The handle at the origin.
    const auto handle = gl.ReadPixel(32, 32 - 12);
    EXPECT_GT(handle[1], handle[0]);
}

}  // namespace
