#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "building/Wall.h"
#include "control/Defaults.h"
#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "slabs/ParametricDoor.h"
#include "slabs/ParametricWindowFrame.h"
#include "slabs/SlabCovering.h"
#include "slabs/SlabHole.h"
#include "support/GlTestContext.h"
#include "support/ReferenceImage.h"
#include "support/TestControl.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

using Pixel = std::array<std::uint8_t, 4>;

// The background is blue.
bool IsOpen(const Pixel& p) {
    return p[2] > 200 && p[0] < 40 && p[1] < 40;
}
bool IsRed(const Pixel& p) {
    return p[0] > 200 && p[1] < 40 && p[2] < 40;
}

// A wall face-on in a small frame, one unit a pixel: scene (x, y) at pixel (x + 32,
// y + 24). The wall's face is drawn the way the slab draws a face with holes: each hole
// writes its opening into the stencil first, the face is drawn with the stencil test the
// hole leaves, and each hole clears its bit afterwards.
class SlabHoleGlTest : public ::testing::Test {
protected:
    SlabHoleGlTest() : window([](int) { return new MouseHandler; }) {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
        window.OnSize({0, 0, kWidth, kHeight});
        control.initialised = 1;
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
        wall = MakeWall(Vector(-30, -20, 0), Vector(30, -20, 0), 40.0, 6.0);
        control.scene.Append(wall);
    }
    ~SlabHoleGlTest() override {
        control.scene.DeleteAll();
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }

    SlabHole* Cut(double x0, double y0, double x1, double y1) {
        const Vector corners[4] = {Vector(x0, y0, 0), Vector(x1, y0, 0), Vector(x1, y1, 0),
                                   Vector(x0, y1, 0)};
        SlabHole* hole = wall->CreateHole(corners, 4);
        wall->SetSelected(false);
        return hole;
    }

    // The frame: blue, the face red at the wall's front (z = 3), seen from +z.
    // With `perspective`, seen from the front right and above instead.
    std::vector<uint8_t> Frame(bool perspective = false) {
        gl.MakeCurrent();
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        if (perspective)
            gluPerspective(60.0, static_cast<double>(kWidth) / kHeight, 1.0, 500.0);
        else
            glOrtho(-32, 32, -24, 24, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        if (perspective) gluLookAt(30, 15, 45, 0, 0, 0, 0, 1, 0);
        glClearColor(0, 0, 1, 1);
        glClearStencil(0);
        glStencilMask(0xFF);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        std::vector<SlabHole*> holes;
        for (LinkedListObject* n = wall->GetHoleList().GetHead(); n; n = n->GetNext())
            holes.push_back(dynamic_cast<SlabHole*>(n));
        for (SlabHole* hole : holes) hole->Render();
        glEnable(GL_STENCIL_TEST);
        glDisable(GL_TEXTURE_2D);
        glColor3d(1, 0, 0);
        glBegin(GL_QUADS);
        for (const Vector& p : wall->GetOutline().GetPositions()) glVertex3d(p.x, p.y, 3.0);
        glEnd();
        for (SlabHole* hole : holes) hole->ClearStencilBit();
        glFinish();
        return gl.ReadPixels();
    }
    Pixel At(const std::vector<uint8_t>& frame, double x, double y) {
        const int px = static_cast<int>(x + 32), py = static_cast<int>(y + 24);
        const size_t i = (static_cast<size_t>(py) * kWidth + px) * 4;
        return {frame[i], frame[i + 1], frame[i + 2], frame[i + 3]};
    }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window;
    Wall* wall = nullptr;
};

TEST_F(SlabHoleGlTest, TheFaceIsCutWhereTheHoleIsAndWholeAfterwards) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Cut(-10, -10, 10, 10);
    Cut(14, -15, 24, 5);
    const std::vector<uint8_t> frame = Frame();
    EXPECT_TRUE(IsOpen(At(frame, 0.5, 0.5)));
    EXPECT_TRUE(IsOpen(At(frame, 19.5, -5.5)));
    EXPECT_TRUE(IsRed(At(frame, -20.5, 0.5)));
    EXPECT_TRUE(IsRed(At(frame, 12.5, 0.5)));
    // The bits are cleared: the next face drawn with the same test is whole.
    glColor3d(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex3d(-30, -20, 5);
    glVertex3d(30, -20, 5);
    glVertex3d(30, 20, 5);
    glVertex3d(-30, 20, 5);
    glEnd();
    glFinish();
    EXPECT_TRUE(IsRed(gl.ReadPixel(32, 24)));
    // The reference picture of the cut face.
    EXPECT_TRUE(MatchesReferenceImage(frame, kWidth, kHeight,
                                      std::string(KIVORA_FIXTURES_DIR) + "/render/hole_cut"));
}

TEST_F(SlabHoleGlTest, DoorLeavesAndWindowFramesFillTheirHoles) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    SlabHole* door = Cut(-25, -19, -5, 15);
    door->ShowDoorOrWindow(false);
    SlabHole* window = Cut(4, -6, 27, 15);
    window->ShowDoorOrWindow(true);
    const std::vector<uint8_t> frame = Frame();
    // The leaf fills the door's hole.
    const Pixel leaf = At(frame, -15.5, 0.5);
    EXPECT_FALSE(IsOpen(leaf));
    EXPECT_FALSE(IsRed(leaf));
    // The frame runs 2.0 wide inside the window's hole; the panes are open.
    EXPECT_FALSE(IsOpen(At(frame, 4.5, 0.5)));
    EXPECT_FALSE(IsRed(At(frame, 4.5, 0.5)));
    EXPECT_TRUE(IsOpen(At(frame, 9.5, 9.5)));
    // Crossbars through the middle (x 15 to 16 and y 4 to 5).
    EXPECT_FALSE(IsOpen(At(frame, 15.2, 9.5)));
    EXPECT_FALSE(IsOpen(At(frame, 9.5, 4.2)));
    EXPECT_TRUE(MatchesReferenceImage(frame, kWidth, kHeight,
                                      std::string(KIVORA_FIXTURES_DIR) + "/render/hole_door_window"));
    // In perspective the reveals show the wall's thickness round the openings.
    EXPECT_TRUE(MatchesReferenceImage(Frame(true), kWidth, kHeight,
                                      std::string(KIVORA_FIXTURES_DIR) +
                                          "/render/hole_door_window_3d"));
    // A hidden door leaves the hole open.
    door->GetDoorOrWindow()->SetHidden(true);
    EXPECT_TRUE(IsOpen(At(Frame(), -15.5, 0.5)));
}

}  // namespace
