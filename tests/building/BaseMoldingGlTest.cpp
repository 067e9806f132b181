#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "building/BaseMolding.h"
#include "slabs/ParametricShape.h"
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

// Moldings drawn into a small frame of a real view window.
class BaseMoldingGlTest : public ::testing::Test {
protected:
    BaseMoldingGlTest() : window([](int) { return new MouseHandler; }) {
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
    ~BaseMoldingGlTest() override {
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
        const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/render/molding_" + name;
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

// Two moldings lying on the ground, linked at a mitred corner; the first one selected.
TEST_F(BaseMoldingGlTest, LinkedMoldingsAreMitredAndShowTheirHandles) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    control.baseMoldingState.SetDouble(0, 4.0);
    control.baseMoldingState.SetDouble(1, 3.0);
    BaseMolding a(true), b(true);
    Vector ground(0, 1, 0);
    ground.w = 0.0;
    for (BaseMolding* m : {&a, &b}) {
        m->SetShapeType(ParametricShape::kRect);
        m->SetParentPlane(ground, Vector(0, 0, 0));
        m->GetSurface().SetColor(0.6, 0.3, 0.1, 1.0);
    }
    a.SetEndPoint(BaseMolding::kBegin, Vector(-30, 0, 0));
    a.SetEndPoint(BaseMolding::kEnd, Vector(18, 0, 0));
    b.SetEndPoint(BaseMolding::kBegin, Vector(20, 0, 2));
    b.SetEndPoint(BaseMolding::kEnd, Vector(20, 0, 30));
    ASSERT_TRUE(a.CanLinkTo(b));
    ASSERT_TRUE(a.LinkTo(&b, BaseMolding::kEnd, BaseMolding::kBegin));
    a.SetSelected(true);
    window.camera.SetVector(0, Vector(-87.5, -100, 56.25));
    auto draw = [&] {
        a.Render();
        b.Render();
    };
    ExpectPicture(Frame(draw), "linked_3d");
    Blueprint();
    ExpectPicture(Frame(draw), "linked_blueprint");
    // A window that hides moldings draws neither.
    window.viewFlags.SetInt64(0, TypeBit::kGrid | TypeBit::kMolding);
    EXPECT_EQ(Frame(draw), Frame([] {}));
}

}  // namespace
