#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "building/Roof.h"
#include "control/Defaults.h"
#include "slabs/Dormer.h"
#include "support/GlTestContext.h"
#include "support/ReferenceImage.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// A free roof plane rising along z, with a dormer whose front runs along the eave.
class DormerGlTest : public ::testing::Test {
protected:
    DormerGlTest() {
        roof = new Roof(false);
        auto on = [](double x, double z) { return Vector(x, 20.0 + z * 2.0 / 3.0, z); };
        const Vector nodes[4] = {on(-30, 0), on(30, 0), on(30, 45), on(-30, 45)};
        for (int i = 0; i < 4; ++i) roof->GetOutline().InsertPoint(nodes[i], i, false);
        roof->GetOutline().ComputeNormal();
        roof->AllocateRoofArrays();
        s.control.scene.Append(roof);
        const Vector corners[4] = {on(-12, 9), on(12, 9), on(12, 33), on(-12, 33)};
        dormer = roof->AddDormer(corners);
    }

    // The preview seen from the front, above the eave, in black on white.
    std::vector<uint8_t> Frame() {
        gl.MakeCurrent();
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, static_cast<double>(kWidth) / kHeight, 1.0, 500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(25, 55, -45, 0, 30, 20, 0, 1, 0);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        dormer->DrawWallPreview();
        glFinish();
        return gl.ReadPixels();
    }

    WallScene s;
    GlTestContext gl{kWidth, kHeight};
    Roof* roof = nullptr;
    Dormer* dormer = nullptr;
};

int DarkPixels(const std::vector<uint8_t>& frame) {
    int dark = 0;
    for (size_t i = 0; i + 3 < frame.size(); i += 4)
        if (frame[i] < 100 && frame[i + 1] < 100 && frame[i + 2] < 100) ++dark;
    return dark;
}

TEST_F(DormerGlTest, OutlineModePreviewsTheWallsToComeAndWallModeDoesNot) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    ASSERT_NE(dormer, nullptr);
    const std::vector<uint8_t> preview = Frame();
    EXPECT_GT(DarkPixels(preview), 20);
    EXPECT_TRUE(MatchesReferenceImage(preview, kWidth, kHeight,
                                      std::string(KIVORA_FIXTURES_DIR) + "/render/dormer_preview"));
    // Once the walls stand, no preview is drawn.
    dormer->ToggleOption();
    EXPECT_EQ(DarkPixels(Frame()), 0);
}

}  // namespace
