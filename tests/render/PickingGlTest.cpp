#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>

#include "model/PickableObject.h"
#include "model/RenderableObject.h"
#include "platform/GLContext.h"
#include "render/Window.h"
#include "support/TestControl.h"
#include "support/TraceLogTail.h"

using platform::GLContext;
using platform::GLDrawable;

namespace {

// A flat square of the scene at height z, named by itself and, inside, by `inner` when
// given; texture coordinates (0, 0) to (1, 1) across it.
class Square : public RenderableObject {
public:
    Square(double x0, double y0, double x1, double y1, double z)
        : x0(x0), y0(y0), x1(x1), y1(y1), z(z) {
        box.min.Set(x0, y0, z, 1.0);
        box.max.Set(x1, y1, z, 1.0);
    }
    uint64_t GetTypeMask() const override { return TypeMask::kFloor; }
    void Translate(const Vector&) override {}
    void Render() override {
        glLoadName(name ? name : GetPickName());
        if (inner) glPushName(inner->GetPickName());
        glBegin(GL_QUADS);
        glTexCoord2d(0, 0);
        glVertex3d(x0, y0, z);
        glTexCoord2d(1, 0);
        glVertex3d(x1, y0, z);
        glTexCoord2d(1, 1);
        glVertex3d(x1, y1, z);
        glTexCoord2d(0, 1);
        glVertex3d(x0, y1, z);
        glEnd();
        if (inner) glPopName();
    }

    double x0, y0, x1, y1, z;
    PickableObject* inner = nullptr;
    // Loaded in place of the square's own name when set.
    uint32_t name = 0;
};

struct Part : PickableObject {
    uint64_t GetTypeMask() const override { return TypeMask::kPart; }
};

// The main window over a 64 x 48 buffer looking straight down -z in the blueprint view:
// world x -32..32 and y -24..24 fill the window, so pixel (px, py), py from the top,
// shows world (px - 32, 24 - py).
class PickingGlTest : public ::testing::Test {
protected:
    PickingGlTest() {
        platform::PixelFormatRequest request;
        request.depthBits = 24;
        request.stencilBits = 8;
        const int format = platform::ChoosePixelFormat(request);
        drawable = GLDrawable::CreateForWindow(64, 48);
        if (format > 0 && drawable->SetPixelFormat(format)) context = GLContext::Create(format);
        window.renderingContext = context.get();
        window.deviceContext = drawable.get();
        window.OnSize({0, 0, 64, 48});
        window.viewFlags.SetInteger(0, Window::kBlueprintView);
        window.camera.SetVector(0, Vector(0, 0, 0));
        window.camera.SetVector(1, Vector(0, 0, 0));
        window.camera.SetVector(2, Vector(32, 24, 0));
        control.mainWindow = &window;
        control.globalState.SetBoolean(6, true);  // every storey shown
    }
    ~PickingGlTest() override {
        control.scene.DeleteAll();
        control.mainWindow = nullptr;
        GLContext::DetachCurrent();
    }

    Square* Add(Square* square) {
        control.scene.Append(square);
        return square;
    }

    // Draws the scene as a frame does, leaving its depth and the caches behind.
    void DrawFrame() {
        window.Activate();
        window.SetupProjection(0, 0);
        window.InitGLState();
        window.SetupModelView();
        window.CacheMatrices();
        for (auto* node = control.scene.GetHead(); node; node = node->GetNext())
            static_cast<Square*>(node)->Render();
        glFinish();
    }

    ScopedProgramFolder programFolder;
    TestControl control;
    std::unique_ptr<GLDrawable> drawable;
    std::unique_ptr<GLContext> context;
    Window window;
};

TEST_F(PickingGlTest, PicksTheNearestObjectUnderThePoint) {
    ASSERT_TRUE(context);
    DrawFrame();
    Square* low = Add(new Square(-20, -10, 10, 10, 1));
    Square* high = Add(new Square(0, -10, 20, 10, 5));
    Part part;
    high->inner = &part;
    Window* rendered = nullptr;
    control.currentWindow = rendered;

    EXPECT_EQ(window.ProcessSelectionBuffer(12, 24), 1) << "only the low square at x -20";
    EXPECT_EQ(window.GetPickedObject(0), low);
    EXPECT_EQ(window.ProcessSelectionBuffer(37, 24), 2) << "both squares at x 5";
    EXPECT_EQ(window.GetPickedObject(0), high);
    EXPECT_EQ(window.GetPickedObject(1), &part);
    EXPECT_FALSE(window.viewFlags.GetBoolean(3));
    EXPECT_EQ(control.currentWindow, rendered);

    EXPECT_EQ(window.ProcessSelectionBuffer(60, 5), 0) << "nothing there";
    EXPECT_EQ(window.GetPickedObject(0), nullptr) << "no record of an earlier pick is left";
}

TEST_F(PickingGlTest, NoPickWithoutABufferAnObjectOrRoomForTheHits) {
    ASSERT_TRUE(context);
    DrawFrame();
    // 40 squares under one point need 160 words: more than the selection buffer holds.
    for (int i = 0; i < 40; ++i) Add(new Square(-5, -5, 5, 5, i));
    EXPECT_EQ(window.ProcessSelectionBuffer(32, 24), 0);
    EXPECT_EQ(window.GetPickedObject(0), nullptr);
    control.scene.DeleteAll();

    // A name whose object is gone.
    Square* square = Add(new Square(-5, -5, 5, 5, 0));
    square->name = Part().GetPickName();
    {
        TraceLogTail trace;
        EXPECT_EQ(window.ProcessSelectionBuffer(32, 24), 0);
        EXPECT_TRUE(trace.Contains("PSB - non pickable object chosen"));
    }

    TraceLogTail trace;
    window.deviceContext = nullptr;
    EXPECT_EQ(window.ProcessSelectionBuffer(32, 24), 0);
    EXPECT_TRUE(trace.Contains("No DC"));
}

TEST_F(PickingGlTest, WorldPointUnderThePixel) {
    ASSERT_TRUE(context);
    Add(new Square(-20, -10, 10, 10, 3));
    DrawFrame();
    Vector point;
    // Pixel (22, 14) covers world x -10..-9 and y 9..10; the point is its lower left.
    window.GetUnderCursor(22, 14, point);
    EXPECT_NEAR(point.x, -10.0, 0.01);
    EXPECT_NEAR(point.y, 9.0, 0.01);
    EXPECT_NEAR(point.z, 3.0, 0.01);
    EXPECT_GT(point.w, 0.0);
    EXPECT_LT(point.w, 1.0);

    for (auto [x, y] : {std::pair{60, 5}, {-1, 5}, {64, 5}, {5, 48}}) {
        window.GetUnderCursor(x, y, point);
        EXPECT_EQ(point.x, 0.0) << x << "," << y;
        EXPECT_EQ(point.y, 0.0);
        EXPECT_EQ(point.z, 0.0);
    }
}

TEST_F(PickingGlTest, TextureCoordinatesUnderThePixel) {
    ASSERT_TRUE(context);
    Square square(-10, -10, 10, 10, 0);
    struct Case {
        int x, y;
        double s, t;
    };
    // World x and y -10..10 carry s and t 0..1; points on both triangles of the square.
    for (const Case& c : {Case{32, 24, 0.5, 0.5}, Case{40, 30, 0.9, 0.2}, Case{25, 17, 0.15, 0.85},
                          Case{23, 33, 0.05, 0.05}}) {
        const Vector st = window.ProcessTextureClick(c.x, c.y, &square);
        EXPECT_EQ(st.w, 1.0);
        EXPECT_NEAR(st.x, c.s, 0.01) << c.x << "," << c.y;
        EXPECT_NEAR(st.y, c.t, 0.01) << c.x << "," << c.y;
    }
    EXPECT_FALSE(window.viewFlags.GetBoolean(10));
    const Vector miss = window.ProcessTextureClick(60, 5, &square);
    EXPECT_EQ(miss.w, 0.0);
    EXPECT_EQ(window.ProcessTextureClick(30, 20, nullptr).w, 0.0);
}

}  // namespace
