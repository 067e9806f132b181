#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "support/CameraMath.h"
#include "support/GlTestContext.h"
#include "support/TestControl.h"

namespace {

class CameraGlTest : public ::testing::Test {
protected:
    CameraGlTest() : window([](int) { return new MouseHandler; }) {
        window.OnSize({0, 0, 64, 48});
        window.InitCameraPresets();
    }

    void Frame(double x = 0, double y = 0) {
        window.SetupProjection(x, y);
        window.SetupModelView();
        window.CacheMatrices();
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{64, 48};
    Window window;
};

TEST_F(CameraGlTest, CachedMatricesAreTheCameraOfEachMode) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    for (int mode : {Window::kPerspectiveView, Window::kBlueprintView, Window::kElevationView,
                     Window::kOverheadView}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(window.SetViewMode(mode));
        Frame();
        double expected[16];
        camera_math::ModelView(window, expected);
        // OpenGL keeps its matrices in single precision.
        auto tolerance = [](double v) { return 1e-4 * std::max(1.0, std::fabs(v)); };
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(window.modelViewCache[i], expected[i], tolerance(expected[i])) << i;
        camera_math::Projection(window, expected);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(window.projectionCache[i], expected[i], tolerance(expected[i])) << i;
        EXPECT_EQ(window.viewportCache[2], 64);
        EXPECT_EQ(window.viewportCache[3], 48);
    }
}

TEST_F(CameraGlTest, PickingNarrowsToATenthOfAPixelAndKeepsTheCaches) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Frame();
    // A point 0.04 pixel from the picked spot is inside the region; 0.06 is not.
    const Vector picked = window.ScreenToHeightPlane(20, 10, 0.0);
    GLint viewport[4] = {0, 0, 64, 48};
    double wx, wy, wz;
    ASSERT_TRUE(gluProject(picked.x, picked.y, picked.z, window.modelViewCache.get(),
                           window.projectionCache.get(), viewport, &wx, &wy, &wz));
    double cached[16];
    for (int i = 0; i < 16; ++i) cached[i] = window.projectionCache[i];

    window.viewFlags.SetBoolean(3, true);
    for (double shift : {0.04, 0.06}) {
        Frame(wx + shift, 48 - wy);
        double projection[16], modelView[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
        double px, py, pz;
        ASSERT_TRUE(gluProject(picked.x, picked.y, picked.z, modelView, projection, viewport, &px,
                               &py, &pz));
        const bool inside = px >= 0 && px <= 64;
        EXPECT_EQ(inside, shift < 0.05) << shift;
    }
    for (int i = 0; i < 16; ++i) EXPECT_EQ(window.projectionCache[i], cached[i]);
}

TEST_F(CameraGlTest, ClearColourFollowsTheModeOnceTheControlRuns) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    control.globalState.SetVector(1, Vector(0.2, 0.4, 0.6));
    control.blueprintColorScheme = 1;
    window.statusBar1.SetText("prompt", false);
    window.statusBar1.holdCaption = 1;

    struct Case {
        bool initialised;
        int mode;
        std::array<int, 3> rgb;
    };
    for (const Case& c : {Case{false, Window::kBlueprintView, {171, 171, 171}},
                          Case{true, Window::kBlueprintView, {0, 25, 162}},
                          Case{true, Window::kElevationView, {255, 255, 255}},
                          Case{true, Window::kPerspectiveView, {51, 102, 153}}}) {
        control.initialised = c.initialised ? 1 : 0;
        window.viewFlags.SetInteger(0, c.mode);
        window.InitGLState();
        const auto pixel = gl.ReadPixel(5, 5);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(pixel[k], c.rgb[k], 1) << c.mode << " " << k;
    }
    EXPECT_STREQ(window.statusBar1.caption, "prompt");
    window.statusBar1.holdCaption = 0;
    window.InitGLState();
    EXPECT_STREQ(window.statusBar1.caption, "");
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

}  // namespace
