#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "slabs/Floor.h"
#include "support/GlTestContext.h"
#include "support/TestControl.h"

namespace {

// Where the current modelview matrix takes a point (OpenGL keeps it in single precision).
Vector Transformed(const Vector& p) {
    double m[16] = {};
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    return Vector(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                  m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                  m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

// A level 100 x 100 floor, 10 thick, its top at `top`, with its normal up or down.
void Shape(Floor& floor, double top, bool up) {
    Outline& outline = floor.GetOutline();
    const double y = top - 5.0;
    const double corners[4][2] = {{0, 0}, {0, 100}, {100, 100}, {100, 0}};
    for (int i = 0; i < 4; ++i) {
        const double* c = corners[up ? i : 3 - i];
        outline.InsertPoint(Vector(c[0], y, c[1]), i, false);
    }
    outline.ComputeNormal();
    floor.BaseSlab::SetThickness(10.0);
    floor.AllocateOutlineArrays();
}

TEST(BaseSlabMirror, LevelFacesMirrorThroughTheirPlaneWithoutAZeroAxis) {
    TestControl control;
    GlTestContext gl{64, 48};
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    // A level face has a normal along y: the turn's axis (n.z, 0, -n.x) would be zero.
    struct Case {
        bool up;
        int face;
        double plane;  // the height the face mirrors through
    };
    for (const Case& c : {Case{true, 0, 20.0}, Case{true, 1, 10.0}, Case{false, 0, 10.0},
                          Case{false, 1, 20.0}}) {
        Floor floor;
        Shape(floor, 20.0, c.up);
        ASSERT_EQ(floor.GetOutline().normal.y, c.up ? 1.0 : -1.0);
        // Giving up the render lock detaches the context; take it back.
        ASSERT_TRUE(gl.MakeCurrent());
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        floor.ApplyMirrorTransform(c.face);
        const Vector above = Transformed(Vector(30, c.plane + 7.0, 40));
        EXPECT_NEAR(above.x, 30.0, 1e-3) << c.up << c.face;
        EXPECT_NEAR(above.y, c.plane - 7.0, 1e-3) << c.up << c.face;
        EXPECT_NEAR(above.z, 40.0, 1e-3) << c.up << c.face;
        // The second time the compiled list gives the same.
        glLoadIdentity();
        floor.ApplyMirrorTransform(c.face);
        EXPECT_NEAR(Transformed(Vector(30, c.plane, 40)).y, c.plane, 1e-3);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
