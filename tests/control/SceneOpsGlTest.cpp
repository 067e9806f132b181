#include <GL/gl.h>
#include <gtest/gtest.h>

#include "support/GlTestContext.h"
#include "support/SceneFixtures.h"

namespace {

// Markers drawn at the origin of a 40 x 40 window that shows -20..20 on x and y.
class MarkerGlTest : public ::testing::Test {
protected:
    MarkerGlTest() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-20, 20, -20, 20, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
    }
    // Draws a marker of size 10 on black; whether the pixel `offset` units right of the
    // centre is lit.
    bool LitAt(int offset) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4ub(255, 255, 255, 255);
        control.DrawMarker(10.0);
        return gl.ReadPixel(20 + offset, 20)[0] > 0;
    }

    ScopedProgramFolder programFolder;
    SceneTestControl control;
    GlTestContext gl{40, 40};
};

TEST_F(MarkerGlTest, TheCubeIsDrawnScaledUnlessTheViewLeavesMarkersOut) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    EXPECT_FALSE(LitAt(0)) << "no cube built yet";
    control.BuildMarkerCube();
    ASSERT_NE(control.markerDisplayList, -1);
    gl.MakeCurrent();  // giving the render lock back detached it
    EXPECT_TRUE(LitAt(0));
    EXPECT_TRUE(LitAt(4)) << "half of size 10";
    EXPECT_FALSE(LitAt(6));

    control.globalState.SetBoolean(18, true);
    EXPECT_TRUE(LitAt(1));
    EXPECT_FALSE(LitAt(3)) << "a third of the size";
    control.view->renderState.SetBoolean(3, true);
    EXPECT_TRUE(LitAt(4)) << "full size while picking";

    control.view->renderState.SetBoolean(10, true);
    EXPECT_FALSE(LitAt(0)) << "not in a feedback render";
    control.view->renderState.SetBoolean(10, false);
    control.view->renderState.SetBoolean(11, true);
    EXPECT_TRUE(LitAt(0)) << "a view without markers still has them while picking";
    control.view->renderState.SetBoolean(3, false);
    EXPECT_FALSE(LitAt(0));
}

}  // namespace
