#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "building/Roof.h"
#include "control/Defaults.h"
#include "interaction/MouseHandler.h"
#include "render/Window.h"
#include "slabs/Floor.h"
#include "slabs/ShaftHole.h"
#include "slabs/ShaftHoleCreator.h"
#include "slabs/ShaftSide.h"
#include "slabs/Skylight.h"
#include "support/GlTestContext.h"
#include "support/ReferenceImage.h"
#include "support/TestControl.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 60;

using Pixel = std::array<std::uint8_t, 4>;

bool IsOpen(const Pixel& p) {
    return p[2] > 200 && p[0] < 40 && p[1] < 40;
}
bool IsGreen(const Pixel& p) {
    return p[1] > 200 && p[0] < 40 && p[2] < 40;
}

// A skylight in a roof plane with a vertical shaft down to a floor, seen from straight
// above in a frame of one unit a pixel around the shaft: the floor is drawn green with
// the shaft hole cut into it the way a slab draws a face, and the shaft's sides draw
// their outlines over it.
class SkylightShaftGlTest : public ::testing::Test {
protected:
    SkylightShaftGlTest() {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
        window.OnSize({0, 0, kWidth, kHeight});
        control.initialised = 1;
        control.mainWindow = control.activeWindow = control.currentWindow = &window;

        roof = new Roof(false);
        const Vector corners[4] = {Vector(0, 200, 0), Vector(0, 250, 100), Vector(200, 250, 100),
                                   Vector(200, 200, 0)};
        for (int i = 0; i < 4; ++i) roof->GetOutline().InsertPoint(corners[i], i, false);
        roof->GetOutline().Refresh();
        roof->GetOutline().ComputeNormal();
        roof->AllocateRoofArrays();
        control.scene.Append(roof);

        floor = new Floor(Vector(-50, 95, -50), false);
        floor->BaseSlab::SetThickness(10.0);
        OutlinePoint* nodes = floor->GetOutline().GetPrimaryPoints();
        const double fc[4][2] = {{-50, -50}, {-50, 200}, {300, 200}, {300, -50}};
        for (int i = 0; i < 4; ++i) nodes[i].position.Set(fc[i][0], 95.0, fc[i][1], 1.0);
        floor->GetOutline().Refresh();
        floor->GetOutline().ComputeNormal();
        floor->AllocateOutlineArrays();
        control.scene.Append(floor);

        sky = new Skylight;
        BoundingBox box;
        box.min.Set(0, 0, 0, 1);
        box.max.Set(20, 30, 4, 1);
        sky->SetBoundingBox(box);
        sky->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        roof->AttachChild(sky);
        sky->SetParent(roof);
        sky->PlaceAtPoint(Vector(100, 225, 50), false);
    }
    ~SkylightShaftGlTest() override {
        control.scene.DeleteAll();
        control.deletedObjects.DeleteAll();
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }

    // Seen from above, centred on (90, 60) in x and z, x to the right and z down.
    std::vector<uint8_t> Frame() {
        gl.MakeCurrent();
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-40, 40, -30, 30, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(90, 500, 60, 90, 0, 60, 0, 0, -1);
        glClearColor(0, 0, 1, 1);
        glClearStencil(0);
        glStencilMask(0xFF);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        ShaftHole* hole = sky->GetShaft();
        hole->Render();
        glEnable(GL_STENCIL_TEST);
        glDisable(GL_TEXTURE_2D);
        glColor3d(0, 1, 0);
        glBegin(GL_QUADS);
        for (const Vector& p : floor->GetOutline().GetPositions()) glVertex3d(p.x, p.y + 5.0, p.z);
        glEnd();
        hole->ClearStencilBit();
        glDisable(GL_STENCIL_TEST);
        for (ShaftSide* side : sky->GetSides()) side->RenderOutline();
        glFinish();
        return gl.ReadPixels();
    }
    // Scene (x, z) to its pixel.
    Pixel At(const std::vector<uint8_t>& frame, double x, double z) {
        const int px = static_cast<int>(x - 90 + 40), py = static_cast<int>(30 - (z - 60));
        const size_t i = (static_cast<size_t>(py) * kWidth + px) * 4;
        return {frame[i], frame[i + 1], frame[i + 2], frame[i + 3]};
    }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window;
    Roof* roof = nullptr;
    Floor* floor = nullptr;
    Skylight* sky = nullptr;
};

TEST_F(SkylightShaftGlTest, TheShaftCutsTheFloorAndItsSidesFrameTheCut) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    auto* creator = dynamic_cast<ShaftHoleCreator*>(window.GetMode(ShaftHoleCreator::kMode));
    ASSERT_NE(creator, nullptr);
    creator->SetSkylight(sky, Skylight::kVertical);
    ASSERT_TRUE(creator->BuildShaft(floor));
    ASSERT_EQ(sky->GetSides().size(), 4u);
    const BoundingBox& cut = sky->GetShaft()->GetBoundingBox();
    const double cx = (cut.min.x + cut.max.x) * 0.5, cz = (cut.min.z + cut.max.z) * 0.5;

    const std::vector<uint8_t> frame = Frame();
    EXPECT_TRUE(IsOpen(At(frame, cx, cz))) << "the floor is open under the skylight";
    EXPECT_TRUE(IsGreen(At(frame, cut.min.x - 8.0, cz)));
    EXPECT_TRUE(IsGreen(At(frame, cx, cut.max.z + 8.0)));
    EXPECT_TRUE(MatchesReferenceImage(frame, kWidth, kHeight,
                                      std::string(KIVORA_FIXTURES_DIR) + "/render/skylight_shaft"));
}

}  // namespace

