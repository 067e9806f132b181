#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "interaction/MouseHandler.h"
#include "model/RenderableObject.h"
#include "render/Window.h"
#include "support/GlTestContext.h"
#include "support/ReferenceImage.h"
#include "support/TestControl.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
using Pixel = std::array<uint8_t, 4>;

// A flat coloured quad in the ground plane, slightly raised, with one slanted edge.
class Tile : public RenderableObject {
public:
    uint64_t GetTypeMask() const override { return TypeMask::kModelObject; }
    void Render() override {
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glColor3ub(230, 200, 40);
        glBegin(GL_QUADS);
        glVertex3d(-40, 20, -30);
        glVertex3d(-20, 20, 30);
        glVertex3d(40, 20, 30);
        glVertex3d(40, 20, -30);
        glEnd();
        glPopAttrib();
    }
    void Translate(const Vector&) override {}
    void Place(double x, double z) {
        box.min = Vector(x - 5, 0, z - 5);
        box.max = Vector(x + 5, 10, z + 5);
    }
};

class RenderPassesGlTest : public ::testing::Test {
protected:
    RenderPassesGlTest() : window([](int) { return new MouseHandler; }) {
        window.OnSize({0, 0, kWidth, kHeight});
        window.InitCameraPresets();
        control.initialised = 1;
        control.mainWindow = &window;
        control.globalState.SetVector(1, Vector(0.2, 0.4, 0.6));  // horizon
        // The scene alone, without the view's drawn bars over it.
        control.globalState.SetBoolean(29, true);
        const float blueprint[4] = {0.1f, 0.2f, 0.7f, 1.0f};
        std::copy(blueprint, blueprint + 4, control.blueprintColors[0]);
    }

    void Blueprint() {
        ASSERT_TRUE(window.SetViewMode(Window::kBlueprintView));
        // 1.5 units a pixel.
        window.camera.SetVector(2, Vector(96, 72, 0));
    }
    void HideGrid() { window.viewFlags.SetInt64(0, TypeBit::kGrid); }

    void Frame() {
        window.InitGLState();
        window.SetupProjection(0, 0);
        window.SetupModelView();
        window.RenderScene(0, 0);
        glFinish();
    }

    // The pixel a world point falls on, by the frame's cached matrices; with `reach`, the
    // one of the pixels up to that far away that `better` prefers.
    template <typename Better>
    Pixel At(const Vector& world, int reach, Better better) {
        double x, y, z;
        gluProject(world.x, world.y, world.z, window.modelViewCache.get(),
                   window.projectionCache.get(), window.viewportCache.get(), &x, &y, &z);
        const int px = static_cast<int>(x);
        const int py = static_cast<int>(y);
        Pixel best = gl.ReadPixel(px, py);
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx) {
                const Pixel p = gl.ReadPixel(px + dx, py + dy);
                if (better(p, best)) best = p;
            }
        return best;
    }
    Pixel At(const Vector& world) {
        return At(world, 0, [](const Pixel&, const Pixel&) { return false; });
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window;
};

Pixel Rgb(double r, double g, double b) {
    auto c = [](double v) { return static_cast<uint8_t>(std::lround(v * 255.0)); };
    return {c(r), c(g), c(b), 0};
}

void ExpectColour(const Pixel& actual, const Pixel& expected) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 2) << "channel " << i;
}

TEST_F(RenderPassesGlTest, EachViewModeClearsToItsColourAndLeavesStateAsFound) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    HideGrid();
    struct Case {
        int mode;
        Pixel colour;
    };
    for (const Case& c : {Case{Window::kPerspectiveView, Rgb(0.2, 0.4, 0.6)},
                          Case{Window::kBlueprintView, Rgb(0.1, 0.2, 0.7)},
                          Case{Window::kElevationView, Rgb(1, 1, 1)},
                          Case{Window::kOverheadView, Rgb(0.2, 0.4, 0.6)}}) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(window.SetViewMode(c.mode));
        Frame();
        ExpectColour(gl.ReadPixel(3, 40), c.colour);
        GLint attributes = -1, matrices = -1;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attributes);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &matrices);
        EXPECT_EQ(attributes, 0);
        EXPECT_EQ(matrices, 1);
        for (int flag : {9, 12, 13}) EXPECT_FALSE(window.viewFlags.GetBoolean(flag)) << flag;
        EXPECT_EQ(window.depth2D, 0);
    }
}

TEST_F(RenderPassesGlTest, BlueprintGridDarkensEveryTwelveInchesAcrossColouredAxes) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Blueprint();
    Frame();
    const double y = 5.25;  // grid height 0, lifted
    const Pixel background = Rgb(0.1, 0.2, 0.7);
    // Between the lines: the background.
    ExpectColour(At(Vector(-54, y, -54)), background);
    ExpectColour(At(Vector(30, y, 18)), background);
    // On a line: the background under black at 50/255.
    const double keep = 1.0 - 50.0 / 255.0;
    const Pixel darkened = Rgb(0.1 * keep, 0.2 * keep, 0.7 * keep);
    // Lines are a pixel wide; where one falls next to the point depends on rounding.
    auto darker = [](const Pixel& a, const Pixel& b) { return a[2] < b[2]; };
    for (const Vector& onLine : {Vector(-48, y, -54), Vector(30, y, 24)}) {
        const Pixel p = At(onLine, 1, darker);
        EXPECT_LE(p[2], darkened[2] + 2);
        EXPECT_GE(p[2], darkened[2] * keep - 2);  // at most two lines over each other
    }
    // The x axis runs from red to white, the z axis from green to white.
    const Pixel xAxis = At(Vector(-60, y, 0), 1, [](const Pixel& a, const Pixel& b) {
        return a[0] - a[1] > b[0] - b[1];
    });
    const Pixel zAxis = At(Vector(0, y, -60), 1, [](const Pixel& a, const Pixel& b) {
        return a[1] - a[0] > b[1] - b[0];
    });
    EXPECT_GT(xAxis[0], xAxis[1] + 60);
    EXPECT_GT(zAxis[1], zAxis[0] + 60);
}

TEST_F(RenderPassesGlTest, MarqueeIsADottedWhiteLoop) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Blueprint();
    HideGrid();
    Frame();  // for the matrices
    const double corners[4][2] = {{10.5, 10.5}, {10.5, 37.5}, {53.5, 37.5}, {53.5, 10.5}};
    for (int i = 0; i < 4; ++i) {
        double x, y, z;
        gluUnProject(corners[i][0], corners[i][1], 0.5, window.modelViewCache.get(),
                     window.projectionCache.get(), window.viewportCache.get(), &x, &y, &z);
        window.marqueeCorners[i] = Vector(x, y, z);
    }
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        window.marqueeShown = shown ? 1 : 0;
        Frame();
        int white = 0;
        for (int row = 11; row < 37; ++row) white += gl.ReadPixel(10, row)[0] == 255;
        if (shown) {
            // Pattern 0x3333: two pixels on, two off.
            EXPECT_GT(white, 8);
            EXPECT_LT(white, 18);
        } else {
            EXPECT_EQ(white, 0);
        }
        ExpectColour(gl.ReadPixel(32, 24), Rgb(0.1, 0.2, 0.7));
    }
}

TEST_F(RenderPassesGlTest, FrameCullsTheShownObjectsOutsideTheView) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    Blueprint();
    control.currentWindow = &window;
    // A storey band that holds the tiles: the blueprint shows only the current storey.
    control.floorState.SetDouble(4, 1.0);
    control.wallState.SetDouble(5, 100.0);
    // Glass tiles: the transparent pass draws only those the frame left unculled.
    struct GlassTile : Tile {
        bool HasTransparentPart() const override { return true; }
    };
    auto add = [&](double x, bool selected, uint32_t flags) {
        auto* tile = new GlassTile;
        tile->Place(x, 0);
        tile->SetSelected(selected);
        tile->SetFlags(flags);
        control.scene.Append(tile);
        return tile;
    };
    // World x runs down the view, which ends at x = 72.
    Tile* inside = add(0, false, 0xFFFFFFFFu);
    Tile* edge = add(72, false, 0xFFFFFFFFu);  // straddles the view's lower side
    Tile* outside = add(1000, false, 0u);
    Tile* selected = add(1000, true, 0u);
    Frame();
    // The window's bit in an object's flags marks it culled in that window.
    EXPECT_FALSE(inside->IsVisibleInCurrentWindow());
    EXPECT_FALSE(edge->IsVisibleInCurrentWindow());
    EXPECT_TRUE(outside->IsVisibleInCurrentWindow());
    EXPECT_EQ(selected->GetFlags(), 0u) << "selected objects are left alone";
    std::vector<RenderableObject*> drawn;
    for (const auto& entry : Window::CollectTransparentObjects(control.scene, Vector(0, 0, 1), 16))
        drawn.push_back(entry.object);
    EXPECT_EQ(drawn, (std::vector<RenderableObject*>{inside, edge, selected}));
    // The pick polygon is gone again after the frame.
    EXPECT_EQ(window.pickPolygonCount, 0);
    control.currentWindow = nullptr;
}

TEST_F(RenderPassesGlTest, WindowWithoutAreaDrawsNothing) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    window.OnSize({0, 0, 0, kHeight});
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    window.statusBar2.SetText("before", false);
    window.RenderScene(0, 0);
    glFinish();
    EXPECT_EQ(gl.ReadPixel(10, 10), (Pixel{255, 0, 255, 255}));
    EXPECT_STREQ(window.statusBar2.caption, "before");
}

TEST_F(RenderPassesGlTest, EightJitteredPassesSoftenAnEdgeThatOnePassLeavesHard) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    // The perspective jitter moves whole fractions of a pixel.
    HideGrid();
    control.scene.Append(new Tile);
    auto partial = [&] {
        int count = 0;
        // Read through OpenGL: the software renderer does not copy results of the
        // accumulation buffer into the caller's memory by itself.
        std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        for (size_t i = 0; i < pixels.size(); i += 4) {
            // Neither the tile's red nor the background's.
            const int red = pixels[i];
            count += red > 70 && red < 205;
        }
        return count;
    };
    Frame();
    EXPECT_EQ(partial(), 0);

    window.antialiasRequest = 1;
    window.antialiasPass = 0;
    for (int pass = 0; pass < Window::kAntialiasPasses; ++pass) {
        EXPECT_EQ(control.sceneRenderingEnabled, 1) << pass;
        window.RenderAntialiased();
        EXPECT_EQ(control.antialiasInProgress, 0);
    }
    glFinish();
    EXPECT_GT(partial(), 10);
    EXPECT_EQ(window.antialiasRequest, 0);
    EXPECT_EQ(control.sceneRenderingEnabled, 0);
    EXPECT_STREQ(window.statusBar1.caption, "Smoothing...  1");
}

// The image of a small scene against a checked-in picture; a differing image is written
// beside it as .out.png.
class ReferenceImageTest : public RenderPassesGlTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(ReferenceImageTest, SceneMatchesItsPicture) {
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    const std::string name = GetParam();
    control.scene.Append(new Tile);
    if (name == "blueprint") Blueprint();
    Frame();
    const std::vector<uint8_t> rgba = gl.ReadPixels();

    const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/render/passes_" + name;
    int differing = 0;
    EXPECT_TRUE(MatchesReferenceImage(rgba, kWidth, kHeight, base, &differing))
        << differing << " pixels differ; see " << base << ".out.png";
}

INSTANTIATE_TEST_SUITE_P(Modes, ReferenceImageTest, ::testing::Values("3d", "blueprint"));

}  // namespace
