#include <GL/gl.h>
#include <gtest/gtest.h>

#include "geometry/BoundingBox.h"
#include "support/GlTestContext.h"

namespace {

TEST(BoundingBoxGl, DrawsTranslucentRedEdgesAndRestoresState) {
    GlTestContext gl(32, 32);
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4d(0, 1, 0, 1);

    // Identity transforms: x and y are device coordinates and the view runs along z,
    // so the loops at min.z and max.z fall on the same pixels and blend twice:
    // 0.5 red over black, then again, gives 0.75. The edges lie on the centres of
    // pixel rows and columns 8 and 23.
    const double edge = 7.5 / 16.0;
    Vector corners[] = {{-edge, -edge, -0.5}, {edge, edge, 0.5}};
    BoundingBox box;
    box.SetFromPoints(corners, 2);
    box.Draw();

    auto onEdge = gl.ReadPixel(16, 8);
    EXPECT_NEAR(onEdge[0], 191, 2) << "translucent red blended twice over black";
    EXPECT_EQ(onEdge[1], 0);
    EXPECT_EQ(onEdge[2], 0);
    auto corner = gl.ReadPixel(23, 23);
    EXPECT_NEAR(corner[0], 191, 2);
    auto inside = gl.ReadPixel(16, 16);
    EXPECT_EQ(inside[0], 0) << "only the edges are drawn";

    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLdouble colour[4];
    glGetDoublev(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.0);
    EXPECT_EQ(colour[1], 1.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
