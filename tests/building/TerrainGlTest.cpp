#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "building/Terrain.h"
#include "building/TerrainEditor.h"
#include "control/Defaults.h"
#include "render/PNGparse.h"
#include "render/Window.h"
#include "support/EditorScene.h"
#include "support/GlTestContext.h"
#include "support/PngWriter.h"

namespace {

constexpr int kTerrainMode = 28;
constexpr int kRow = Terrain::kNodesPerRow;
constexpr int kMiddle = 25 * kRow + 25;

// The editor scene's view in the terrain editor, in perspective straight down from 300
// over the middle node, which shows at the centre (32, 24); world -z is up the window.
class TerrainEditing : public ::testing::Test {
protected:
    TerrainEditing() {
        scene.control->terrain = terrain = new Terrain;
        if (!scene.HasOpenGL()) return;
        scene.control->BuildMarkerCube();
        scene.view.SetMouseMode(kTerrainMode);
        scene.view.camera.SetVector(1, Vector(90, 0, 0));
        scene.view.camera.SetVector(0, Vector(0, -300, 0));
        scene.DrawFrame();
    }
    double Height(int i) const { return terrain->GetNode(i).position.y; }

    EditorScene scene;
    Terrain* terrain = nullptr;
};

TEST_F(TerrainEditing, ANodeDraggedUpTheWindowRisesAndIsOneStepToUndo) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_EQ(scene.Mode(), kTerrainMode);
    EXPECT_TRUE(terrain->ShowsNodes());
    EXPECT_TRUE(scene.control->globalState.GetBoolean(27));
    EXPECT_EQ(scene.view.GetViewMode(), Window::kPerspectiveView);
    // Looking straight down, 30 pixels up the window raise the node by 10.
    // Undo finds the terrain once the plan holds anything.
    scene.Add(new Block(TypeMask::kWall, 3, 500, 500));
    auto* editor = dynamic_cast<TerrainEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    platform::SetKeyState(platform::VK_LBUTTON, true);
    scene.Mouse(platform::WM_LBUTTONDOWN, 32, 24);
    EXPECT_EQ(MouseHandler::Input().pickCount, 2);
    EXPECT_EQ(editor->GetDraggedNode(), &terrain->GetNode(kMiddle));
    EXPECT_TRUE(terrain->HasOpenStep());
    scene.Mouse(platform::WM_MOUSEMOVE, 32, 12);
    scene.Mouse(platform::WM_MOUSEMOVE, 32, -6);
    platform::SetKeyState(platform::VK_LBUTTON, false);
    scene.Mouse(platform::WM_LBUTTONUP, 32, -6);
    EXPECT_NEAR(Height(kMiddle), 10.0, 1e-9);
    EXPECT_EQ(Height(kMiddle + 1), 0.0);
    EXPECT_EQ(terrain->GetNode(kMiddle).selected, 0) << "released without Shift";
    EXPECT_EQ(scene.UndoGroups(), 1);
    scene.control->Undo();
    EXPECT_EQ(Height(kMiddle), 0.0);
    scene.control->Redo();
    EXPECT_NEAR(Height(kMiddle), 10.0, 1e-9);
    // A press on bare ground begins a band, which moves no node.
    scene.Drag({{2, 2}, {2, 2}});
    EXPECT_NEAR(Height(kMiddle), 10.0, 1e-9);
}

TEST_F(TerrainEditing, ASwitchOfModeMidDragClosesTheStep) {
    ASSERT_TRUE(scene.HasOpenGL());
    platform::SetKeyState(platform::VK_LBUTTON, true);
    scene.Mouse(platform::WM_LBUTTONDOWN, 32, 24);
    scene.Mouse(platform::WM_MOUSEMOVE, 32, 9);
    EXPECT_TRUE(terrain->HasOpenStep());
    scene.view.SetMouseMode(0);
    platform::SetKeyState(platform::VK_LBUTTON, false);
    EXPECT_FALSE(terrain->HasOpenStep());
    EXPECT_FALSE(terrain->ShowsNodes());
    EXPECT_FALSE(scene.control->globalState.GetBoolean(27));
    EXPECT_NEAR(Height(kMiddle), 5.0, 1e-9);
    scene.control->Undo();
    EXPECT_EQ(Height(kMiddle), 0.0);
}

// The ground drawn in a small perspective frame, against a checked-in picture.
class TerrainPicture : public ::testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    TerrainPicture() : window([](int) { return new MouseHandler; }) {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
        window.OnSize({0, 0, kWidth, kHeight});
        window.InitCameraPresets();
        control.initialised = 1;
        control.globalState.SetVector(1, Vector(1, 1, 1));
        control.globalState.SetBoolean(29, true);
        window.viewFlags.SetInt64(0, TypeBit::kGrid);
        control.mainWindow = control.activeWindow = control.currentWindow = &window;
        control.terrain = &terrain;
    }
    ~TerrainPicture() override {
        control.terrain = nullptr;
        control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
    }

    std::vector<uint8_t> Frame() {
        gl.MakeCurrent();
        window.InitGLState();
        window.SetupProjection(0, 0);
        window.SetupModelView();
        window.RenderScene(0, 0);
        glFinish();
        return gl.ReadPixels();
    }

    void ExpectPicture(const std::vector<uint8_t>& rgba, const std::string& name) {
        const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/render/terrain_" + name;
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
    Terrain terrain;
};

TEST_F(TerrainPicture, RaisedGroundInPerspectiveAndAbsentFromTheBlueprint) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    terrain.RaiseNode(kMiddle, 120.0);
    // From the side and above, looking down at the hill.
    window.camera.SetVector(1, Vector(30, 0, 0));
    window.camera.SetVector(0, Vector(0, -200, -400));
    ExpectPicture(Frame(), "hill");
    terrain.ProcessPropertyMenu(Terrain::kToggleWireframe);
    ExpectPicture(Frame(), "hill_wireframe");
    ASSERT_TRUE(window.SetViewMode(Window::kBlueprintView));
    EXPECT_FALSE(terrain.IsShownInCurrentView());
}

}  // namespace
