#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "control/bars/Toolbar.h"
#include "interaction/MouseHandler.h"
#include "render/OpenGL.h"
#include "render/Window.h"
#include "support/GlTestContext.h"
#include "support/ReferenceImage.h"
#include "support/TestControl.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 64;
using Pixel = std::array<uint8_t, 4>;

// The main view of a control drawing its frame, bars included, into a context of its own,
// with the dialog font and the toolbar picture loaded.
class DrawnBarsGlTest : public ::testing::Test {
protected:
    DrawnBarsGlTest() : window([](int) { return new MouseHandler; }) {
        control.globalState.SetInteger(2, 296);
        control.globalState.SetInteger(3, 24);
        control.initialised = 1;
        control.mainWindow = control.activeWindow = &window;
        control.progressBar.owner = &window;
        window.OnSize({0, 0, kWidth, kHeight});
        window.InitCameraPresets();
        // The scene's own grid is not what these pictures are about.
        window.viewFlags.SetInt64(0, 0x100000);
        unsigned list = 0;
        if (BuildBitmapFont("MS Shell Dlg 2", 10, &list)) control.dialogFontList = list;
        window.toolbar->LoadBitmap();
        // Letting go of the render lock detached the context.
        gl.MakeCurrent();
    }
    ~DrawnBarsGlTest() override {
        if (control.dialogFontList) glDeleteLists(control.dialogFontList, 128);
        control.progressBar.owner = nullptr;
        control.mainWindow = control.activeWindow = nullptr;
    }

    void Frame() {
        window.InitGLState();
        window.SetupProjection(0, 0);
        window.SetupModelView();
        window.RenderScene(0, 0);
        glFinish();
    }

    ScopedProgramFolder folder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window;
};

TEST_F(DrawnBarsGlTest, MenuBarToolbarAndStatusBarsMatchTheirPicture) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    ASSERT_TRUE(window.toolbar->HasBitmap());
    ASSERT_NE(control.dialogFontList, 0u);
    window.menuBar.OnMouseMove(60, 5);  // "Edit" highlighted
    Frame();
    const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/control/bars_menu_toolbar";
    int differing = 0;
    EXPECT_TRUE(MatchesReferenceImage(gl.ReadPixels(), kWidth, kHeight, base, &differing))
        << differing << " pixels differ; see " << base << ".out.png";
    // The floor label was measured as it was drawn, and the toolbar laid out to its place.
    EXPECT_GT(window.statusBar2.captionWidth, 12.0);
    EXPECT_EQ(window.toolbar->x, kWidth - 296 - 10);
    EXPECT_EQ(window.toolbar->y, kHeight - 24);
}

TEST_F(DrawnBarsGlTest, NarrowWindowKeepsTheToolbarRightOfTheMenus) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    control.globalState.SetInteger(2, 200);
    window.OnSize({0, 0, 400, kHeight});
    Frame();
    EXPECT_EQ(window.toolbar->x, 310) << "not 190";
}

TEST_F(DrawnBarsGlTest, ProgressBarFillsByTheDownloadsDoneAndHidesForOutput) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    window.OnSize({0, 0, kWidth, 100});
    GlTestContext tall(kWidth, 100);
    ASSERT_TRUE(tall.IsValid());
    unsigned list = 0;
    ASSERT_TRUE(BuildBitmapFont("MS Shell Dlg 2", 10, &list));
    control.dialogFontList = list;
    control.globalState.SetInteger(10, 4);
    control.globalState.SetInteger(11, 1);
    control.progressBar.SetShown(true);
    Frame();
    // 25% of the box (x 18 .. 623) is filled: up to x 169.
    auto at = [&](int x, int y) { return tall.ReadPixel(x, y); };
    const Pixel fill = {10, 36, 106, 255};
    const Pixel face = {212, 208, 200, 255};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(at(100, 22)[c], fill[c], 2) << c;
        EXPECT_NEAR(at(200, 22)[c], face[c], 2) << c;
        EXPECT_NEAR(at(400, 70)[c], face[c], 2) << c;
    }

    // While a picture is made for output the bars are not drawn.
    control.globalState.SetBoolean(29, true);
    Frame();
    const Pixel scene = at(200, 22);
    EXPECT_FALSE(scene[0] == face[0] && scene[1] == face[1] && scene[2] == face[2]);
}

}  // namespace
