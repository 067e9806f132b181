#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "building/Wall.h"
#include "control/Defaults.h"
#include "interaction/MouseHandler.h"
#include "render/PNGparse.h"
#include "render/Window.h"
#include "support/GlTestContext.h"
#include "support/PngWriter.h"
#include "support/TestControl.h"
#include "support/WallFixtures.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// The selection handles of walls, drawn into a small frame of a real view window.
class WallGlTest : public ::testing::Test {
protected:
    WallGlTest() : window([](int) { return new MouseHandler; }) {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
        window.OnSize({0, 0, kWidth, kHeight});
        window.InitCameraPresets();
        control.initialised = 1;
        // A plain white background, without the drawn bars (as for an exported picture).
        control.globalState.SetVector(1, Vector(1, 1, 1));
        control.globalState.SetBoolean(29, true);
        window.viewFlags.SetInt64(0, TypeBit::kGrid);
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
    }
    ~WallGlTest() override {
        control.scene.DeleteAll();
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }

    void Blueprint() {
        ASSERT_TRUE(window.SetViewMode(Window::kBlueprintView));
        // 1.5 units a pixel.
        window.camera.SetVector(2, Vector(96, 72, 0));
    }

    // A frame holding only what `draw` draws.
    std::vector<uint8_t> Frame(const std::function<void()>& draw) {
        // Giving up the render lock detaches the context; take it back.
        gl.MakeCurrent();
        window.InitGLState();
        window.SetupProjection(0, 0);
        window.SetupModelView();
        window.RenderScene(0, 0);
        glDisable(GL_LIGHTING);
        draw();
        glFinish();
        return gl.ReadPixels();
    }

    // The frame against a checked-in picture; a differing frame is written beside it as
    // .out.png.
    void ExpectPicture(const std::vector<uint8_t>& rgba, const std::string& name) {
        const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/render/wall_" + name;
        PNGparse reader;
        std::vector<uint8_t> expected;
        if (reader.Open((base + ".png").c_str()) == 0 && reader.Width() == kWidth &&
            reader.Height() == kHeight) {
            reader.FlipRows();
            reader.ConvertToRGB(false);
            expected = reader.TakePixels();
        }
        int differing = 0;
        for (size_t p = 0; p < size_t{kWidth} * kHeight && !expected.empty(); ++p)
            for (int c = 0; c < 3; ++c)
                if (std::abs(rgba[p * 4 + c] - expected[p * 3 + c]) > 12) {
                    ++differing;
                    break;
                }
        // Rasterisers may differ on a few edge pixels.
        const bool matches = !expected.empty() && differing <= kWidth * kHeight / 100;
        if (!matches) {
            PngImage image;
            image.width = kWidth;
            image.height = kHeight;
            image.colourType = 2;
            for (int row = kHeight - 1; row >= 0; --row)
                for (int x = 0; x < kWidth; ++x)
                    for (int c = 0; c < 3; ++c)
                        image.rows.push_back(rgba[(row * kWidth + x) * 4 + c]);
            const std::vector<uint8_t> file = WritePng(image);
            std::ofstream(base + ".out.png", std::ios::binary)
                .write(reinterpret_cast<const char*>(file.data()),
                       static_cast<std::streamsize>(file.size()));
        }
        EXPECT_TRUE(matches) << differing << " pixels differ; see " << base << ".out.png";
    }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window;
};

TEST_F(WallGlTest, SelectedWallShowsItsHandles) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Wall* a = MakeWall(Vector(-30, 0, 0), Vector(30, 0, 0), 40.0, 10.0);
    Wall* b = MakeWall(Vector(30, 0, 0), Vector(30, 0, 30), 40.0, 10.0);
    control.scene.Append(a);
    control.scene.Append(b);
    ASSERT_TRUE(a->LinkWith(b, 2, 1));
    a->SetSelected(true);
    EXPECT_TRUE(a->ShowsSelection());
    EXPECT_FALSE(b->ShowsSelection());
    // Closer than the preset view, looking the same way.
    window.camera.SetVector(0, Vector(-87.5, -100, 56.25));
    ExpectPicture(Frame([&] { a->RenderSelection(); }), "handles_3d");
    // In the blueprint view: the free end's handles only.
    Blueprint();
    ExpectPicture(Frame([&] { a->RenderSelection(); }), "handles_blueprint");
    // Locked: no handles.
    a->SetLocked(true);
    EXPECT_EQ(Frame([&] { a->RenderSelection(); }), Frame([] {}));
}

}  // namespace

namespace {

// In the blueprint view a wall on the current storey shows its length along the top of
// the longer face; a wall above the storey is not drawn at all.
TEST_F(WallGlTest, BlueprintWallShowsItsDimension) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    control.globalState.SetBoolean(4, true);
    Wall* wall = MakeWall(Vector(-30, 0, 0), Vector(30, 0, 0), 40.0, 10.0);
    control.scene.Append(wall);
    Blueprint();
    const std::vector<uint8_t> shown = Frame([] {});
    EXPECT_EQ(wall->GetHorizontalDimension().GetViewMode(), Window::kBlueprintView);
    EXPECT_TRUE(wall->ShouldDrawDimensions(&window));
    ExpectPicture(shown, "dimension_blueprint");
    EXPECT_NEAR(
        wall->GetHorizontalDimension().GetStart().Distance(wall->GetHorizontalDimension().GetEnd()),
        60.0, 0.5);
    // The same wall with its dimension hidden, then raised above the storey.
    ASSERT_TRUE(wall->ProcessPropertyMenu(1000));
    const std::vector<uint8_t> plain = Frame([] {});
    EXPECT_NE(plain, shown);
    wall->Translate(Vector(0, 500, 0));
    EXPECT_EQ(Frame([] {}), Frame([&] { control.scene.Remove(wall); }));
    control.scene.Append(wall);
}

// The cut-away: in a perspective view a wall that the line of sight passes through is
// left out of the frame; never in the blueprint view.
TEST_F(WallGlTest, WallAcrossTheLineOfSightIsCutAway) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Wall* front = MakeWall(Vector(30, 0, -60), Vector(30, 0, 60), 80.0, 10.0);
    control.scene.Append(front);
    // The preset view looks at the origin through the wall.
    window.camera.SetVector(0, Vector(-87.5, -100, 56.25));
    Frame([] {});
    EXPECT_TRUE(front->IsCutAway());
    EXPECT_TRUE(front->IsVisibleInCurrentWindow());
    Blueprint();
    Frame([] {});
    EXPECT_FALSE(front->IsVisibleInCurrentWindow()) << "drawn in the blueprint view";
}

}  // namespace
