#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "control/Defaults.h"
#include "slabs/Counter.h"
#include "slabs/CounterEditor.h"
#include "slabs/Floor.h"
#include "slabs/FloorEditor.h"
#include "support/EditorScene.h"
#include "support/GlTestContext.h"
#include "support/PlanStreamCompare.h"
#include "support/ReferenceImage.h"

namespace {

// The keys of a slab, its surface colours aside: the blueprint view paints those by the
// selection as it draws.
template <class T>
std::string Keys(T& slab) {
    std::string kept;
    const std::string all = plan_stream::Keys(slab);
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = all.find('\n', start);
        const std::string line = all.substr(start, end - start + 1);
        if (line.find("/Material/Color/") == std::string::npos) kept += line;
        start = end == std::string::npos ? all.size() : end + 1;
    }
    return kept;
}

// The editor scene turned to look down on the plan, with the editor's own modes: floors
// and counters are drawn, resized and nudged by the control's window messages.
class FloorEditorGlTest : public ::testing::Test {
protected:
    FloorEditorGlTest() : scene(true) {
        BaseControl& control = *scene.control;
        SetFactoryDefaults(control);
        control.globalState.SetBoolean(1, true);
        control.globalState.SetBoolean(6, true);
        control.globalState.SetDouble(3, 2.0);
        control.floorState.SetDouble(0, 10.0);
        control.floorState.SetDouble(4, 1.0);
        control.counterState.SetDouble(0, 2.0);
        // Plain surfaces: there is no content server to fetch catalogue materials from.
        for (int i = 0; i < 6; ++i) {
            control.floorState.SetString(i, "");
            control.counterState.SetString(i, "");
        }
        for (int i = 0; i < 3; ++i) {
            control.floorState.SetVector(i, Vector(1, 1, 0));
            control.counterState.SetVector(i, Vector(1, 1, 0));
        }
        scene.view.camera.SetVector(1, Vector(90, 0, 0));
        scene.view.camera.SetVector(2, Vector(32, 24, 0));
        scene.DrawFrame();
    }
    ~FloorEditorGlTest() override {
        platform::SetKeyState('Q', false);
        MouseHandler::ClearModifierFlags();
        MouseHandler::ClearButtonFlags();
    }

    // The scene drawn into the view, so depth reads find what lies under the pointer.
    void RenderFrame() {
        BaseControl& control = *scene.control;
        control.LockRender();
        scene.view.Activate();
        scene.view.InitGLState();
        scene.view.SetupProjection(0, 0);
        scene.view.SetupModelView();
        scene.view.CacheMatrices();
        scene.view.RenderScene(0, 0);
        glFinish();
        control.UnlockRender();
    }
    Vector Ground(int px, int py) const { return scene.view.ScreenToHeightPlane(px, py, 0.0); }
    template <class T>
    std::vector<T*> All() const {
        std::vector<T*> found;
        for (LinkedListObject* node = scene.control->scene.GetHead(); node; node = node->GetNext())
            if (auto* object = dynamic_cast<T*>(node);
                object && object->GetTypeMask() == T().GetTypeMask())
                found.push_back(object);
        return found;
    }
    int Redos() const {
        return static_cast<int>(scene.control->GetUndoList().RedoEntries().GetCount());
    }
    void Press(int key) { scene.Key(key, true); }
    void Release(int key) { scene.Key(key, false); }
    SlabEditor* Editor() const { return dynamic_cast<SlabEditor*>(scene.view.GetCurrentMode()); }

    EditorScene scene;
};

TEST_F(FloorEditorGlTest, AFloorIsDrawnResizedAndNudgedEachEditOneUndoStep) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    BaseControl& control = *scene.control;
    ASSERT_TRUE(scene.view.SetMouseMode(FloorEditor::kMode));
    ASSERT_NE(dynamic_cast<FloorEditor*>(Editor()), nullptr);
    ASSERT_TRUE(Editor()->IsEditLocked());
    // The pointer comes in where the stroke begins, clear of the drawn bars.
    Editor()->OnMouseMove(platform::MakeLParam(20, 16));
    EXPECT_EQ(control.drawingPoint.w, 1.0) << "the cursor marker is shown while drawing";
    scene.Drag({{20, 16}, {30, 24}, {44, 34}});
    std::vector<Floor*> floors = All<Floor>();
    ASSERT_EQ(floors.size(), 1u);
    Floor* floor = floors[0];
    const BoundingBox drawn = floor->GetBoundingBox();
    const Vector a = Ground(20, 16), b = Ground(44, 34);
    EXPECT_NEAR(drawn.min.x, std::fmin(a.x, b.x), 1.01);
    EXPECT_NEAR(drawn.max.x, std::fmax(a.x, b.x), 1.01);
    EXPECT_NEAR(drawn.min.z, std::fmin(a.z, b.z), 1.01);
    EXPECT_NEAR(drawn.max.z, std::fmax(a.z, b.z), 1.01);
    EXPECT_DOUBLE_EQ(floor->GetTop(), 1.0) << "on the current level";
    EXPECT_EQ(scene.UndoGroups(), 1);

    // Editing: a press on the floor selects it, a drag of its corner resizes it.
    Editor()->SetEditLock(false);
    scene.Click(32, 26);
    ASSERT_TRUE(floor->IsSelected());
    RenderFrame();
    const std::string afterDraw = Keys(*floor);
    // Shift: the corner goes where the pointer is, unsnapped.
    Press(platform::VK_SHIFT);
    scene.Drag({{44, 34}, {50, 38}, {56, 40}});
    Release(platform::VK_SHIFT);
    EXPECT_GT(floor->GetBoundingBox().max.x - floor->GetBoundingBox().min.x,
              drawn.max.x - drawn.min.x + 10.0);
    EXPECT_EQ(scene.UndoGroups(), 2);
    const std::string afterResize = Keys(*floor);
    ASSERT_NE(afterResize, afterDraw);

    // Ctrl+Up twice and the key's release: one nudge, one step, raised by two steps.
    floor->SetSelected(true);
    Press(platform::VK_CONTROL);
    Press(platform::VK_UP);
    Press(platform::VK_UP);
    Release(platform::VK_UP);
    EXPECT_DOUBLE_EQ(floor->GetTop(), 5.0);
    EXPECT_EQ(scene.UndoGroups(), 3);
    // Ctrl+Left and Ctrl+Right move nothing and open nothing.
    Press(platform::VK_LEFT);
    Release(platform::VK_LEFT);
    Press(platform::VK_RIGHT);
    Release(platform::VK_RIGHT);
    Release(platform::VK_CONTROL);
    EXPECT_DOUBLE_EQ(floor->GetTop(), 5.0);
    EXPECT_EQ(scene.UndoGroups(), 3);
    const std::string afterNudge = Keys(*floor);

    ASSERT_TRUE(control.Undo());
    EXPECT_EQ(Keys(*floor), afterResize);
    ASSERT_TRUE(control.Undo());
    EXPECT_EQ(Keys(*floor), afterDraw);
    ASSERT_TRUE(control.Undo());
    EXPECT_TRUE(All<Floor>().empty());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(control.Redo());
    floors = All<Floor>();
    ASSERT_EQ(floors.size(), 1u);
    EXPECT_EQ(Keys(*floors[0]), afterNudge);
}

TEST_F(FloorEditorGlTest, RectanglesTooSmallToKeepLeaveNoFloorAndNothingToRedo) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    ASSERT_TRUE(scene.view.SetMouseMode(FloorEditor::kMode));
    const std::vector<std::vector<std::pair<int, int>>> strokes = {
        {{20, 20}},                      // a click
        {{20, 20}, {40, 36}, {22, 36}},  // 2.0 by 16.0
        {{20, 20}, {40, 36}, {40, 25}},  // 20.0 by 5.0
    };
    for (const auto& stroke : strokes) {
        scene.Drag(stroke);
        EXPECT_TRUE(All<Floor>().empty()) << stroke.back().first;
        EXPECT_EQ(scene.UndoGroups(), 0);
        EXPECT_EQ(Redos(), 0);
    }
    // 6.0 by 6.0 stays.
    scene.Drag({{20, 20}, {40, 36}, {26, 26}});
    EXPECT_EQ(All<Floor>().size(), 1u);
    EXPECT_EQ(scene.UndoGroups(), 1);
}

TEST_F(FloorEditorGlTest, QWithAPressOnAFloorLeavesARaisedCopyAsTheCreatedObject) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    BaseControl& control = *scene.control;
    ASSERT_TRUE(scene.view.SetMouseMode(FloorEditor::kMode));
    scene.Drag({{12, 10}, {30, 24}, {44, 34}});
    ASSERT_EQ(All<Floor>().size(), 1u);
    Floor* floor = All<Floor>()[0];
    const BoundingBox box = floor->GetBoundingBox();
    Editor()->SetEditLock(false);
    RenderFrame();
    const std::string drawn = Keys(*floor);
    Press('Q');
    scene.Drag({{28, 22}, {34, 22}, {40, 22}, {46, 22}});
    Release('Q');
    std::vector<Floor*> floors = All<Floor>();
    ASSERT_EQ(floors.size(), 2u);
    Floor* copy = floors[0] == floor ? floors[1] : floors[0];
    // The copy stays where the floor was, raised by half its thickness and 1.0. (The floor
    // pressed is the one dragged, but the copy overlaps it on its level, so it stays.)
    EXPECT_DOUBLE_EQ(copy->GetTop(), floor->GetTop() + 6.0);
    EXPECT_NEAR(copy->GetBoundingBox().min.x, box.min.x, 1e-9);
    EXPECT_EQ(scene.UndoGroups(), 2);
    ASSERT_TRUE(control.Undo());
    floors = All<Floor>();
    ASSERT_EQ(floors.size(), 1u) << "undo takes the copy away";
    EXPECT_EQ(floors[0], floor) << "and keeps the original";
    EXPECT_EQ(Keys(*floor), drawn);
    ASSERT_TRUE(control.Redo());
    EXPECT_EQ(All<Floor>().size(), 2u);
}

TEST_F(FloorEditorGlTest, ACounterIsDrawnOnTheSurfaceUnderThePressAndOnlyFloorsAreCopiedOrNudged) {
    if (!scene.HasOpenGL()) GTEST_SKIP() << "no OpenGL";
    BaseControl& control = *scene.control;
    // Over the background the counter starts on the current level, not at the far end of
    // the view.
    ASSERT_TRUE(scene.view.SetMouseMode(CounterEditor::kMode));
    ASSERT_NE(dynamic_cast<CounterEditor*>(Editor()), nullptr);
    RenderFrame();
    scene.Drag({{4, 4}, {10, 10}, {16, 14}});
    std::vector<Counter*> counters = All<Counter>();
    ASSERT_EQ(counters.size(), 1u);
    EXPECT_DOUBLE_EQ(counters[0]->GetTop(), 2.0);
    EXPECT_EQ(scene.UndoGroups(), 1);

    // Over a floor whose top is at 1.0 the counter's top is 1.0 above it.
    ASSERT_TRUE(scene.view.SetMouseMode(FloorEditor::kMode));
    scene.Drag({{24, 20}, {40, 30}, {60, 44}});
    ASSERT_EQ(All<Floor>().size(), 1u);
    ASSERT_TRUE(scene.view.SetMouseMode(CounterEditor::kMode));
    RenderFrame();
    scene.Drag({{30, 24}, {40, 30}, {46, 34}});
    counters = All<Counter>();
    ASSERT_EQ(counters.size(), 2u);
    Counter* counter = counters[1];
    EXPECT_NEAR(counter->GetTop(), 2.0, 0.05);
    EXPECT_EQ(scene.UndoGroups(), 3);

    // A drawn counter whose box diagonal is below 4.0 goes with its creation.
    scene.Drag({{4, 30}, {16, 44}, {6, 32}});
    EXPECT_EQ(All<Counter>().size(), 2u);
    EXPECT_EQ(scene.UndoGroups(), 3);
    EXPECT_EQ(Redos(), 0);

    // Editing: Q with a press on the counter copies nothing; Ctrl+Up moves no counter.
    Editor()->SetEditLock(false);
    RenderFrame();
    const std::string kept = Keys(*counter);
    Press('Q');
    scene.Click(40, 30);
    Release('Q');
    EXPECT_EQ(All<Counter>().size(), 2u);
    ASSERT_TRUE(counter->IsSelected());
    Press(platform::VK_CONTROL);
    Press(platform::VK_UP);
    Release(platform::VK_UP);
    Release(platform::VK_CONTROL);
    EXPECT_EQ(Keys(*counter), kept);
    EXPECT_EQ(scene.UndoGroups(), 3);
    ASSERT_TRUE(control.Undo());
    EXPECT_EQ(All<Counter>().size(), 1u);
}

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// A counter with a rounded front, a backsplash and a plain side, seen from above and in
// front, against its picture.
TEST(CounterPictureGlTest, RoundedFrontsAndBacksplashesAreDrawn) {
    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    TestControl control;
    GlTestContext gl{kWidth, kHeight};
    Window window([](int) { return new MouseHandler; });
    ASSERT_TRUE(gl.IsValid()) << gl.Error();
    control.contentDomain[0] = 0;
    SetFactoryDefaults(control);
    window.OnSize({0, 0, kWidth, kHeight});
    window.InitCameraPresets();
    control.initialised = 1;
    control.globalState.SetVector(1, Vector(1, 1, 1));
    control.globalState.SetBoolean(29, true);
    control.globalState.SetBoolean(6, true);
    window.viewFlags.SetInt64(0, TypeBit::kGrid);
    control.mainWindow = control.activeWindow = control.currentWindow = &window;
    control.counterState.SetDouble(0, 4.0);
    // Plain surfaces: no catalogue material to fetch.
    for (int i = 0; i < 6; ++i) control.counterState.SetString(i, "");
    for (int i = 0; i < 3; ++i) control.counterState.SetVector(i, Vector(1, 1, 0));

    auto* counter = new Counter(Vector(-30, 8, -15));
    OutlinePoint* nodes = counter->GetOutline().GetPrimaryPoints();
    const double y = nodes[0].position.y;
    nodes[0].position.Set(-30, y, -15, 1.0);
    nodes[1].position.Set(-30, y, 15, 1.0);
    nodes[2].position.Set(30, y, 15, 1.0);
    nodes[3].position.Set(30, y, -15, 1.0);
    counter->GetOutline().Refresh();
    counter->GetOutline().ComputeNormal();
    counter->RecomputeBounds();
    // The front (z = 15) and the right side are rounded; the back has a backsplash.
    nodes[1].edge->booleanParameter[Counter::kRoundedFlag] = true;
    nodes[2].edge->booleanParameter[Counter::kRoundedFlag] = true;
    nodes[3].edge->booleanParameter[Counter::kBacksplashFlag] = true;
    counter->SetSurfaceColor(0.8, 0.7, 0.5, 1.0);
    counter->SetSurfacesTranslucent(false);
    counter->MarkDirty();
    control.scene.Append(counter);

    // The counter's edge surface (the fronts, the backsplash, the plain side), lit from
    // the front right, seen from the front right and above.
    auto frame = [&] {
        gl.MakeCurrent();
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(kWidth) / kHeight, 1.0, 500.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(45, 55, 75, 0, 4, 0, 0, 1, 0);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const GLfloat position[4] = {0.4f, 1.0f, 0.6f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glInitNames();
        glPushName(0);
        counter->RenderEdgeSurface();
        glFinish();
        return gl.ReadPixels();
    };
    const std::string base = std::string(KIVORA_FIXTURES_DIR) + "/render/counter_3d";
    int differing = 0;
    EXPECT_TRUE(MatchesReferenceImage(frame(), kWidth, kHeight, base, &differing))
        << differing << " pixels differ; see " << base << ".out.png";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Corners on one point and no thickness: flat edges, nothing drawn out of reach.
    for (int i = 0; i < 4; ++i) {
        nodes[i].position.Set(0, y, 0, 1.0);
        nodes[i].edge->booleanParameter[Counter::kRoundedFlag] = true;
    }
    counter->GetOutline().Refresh();
    counter->BaseSlab::SetThickness(0.0);
    counter->RecomputeBounds();
    counter->MarkDirty();
    frame();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    control.scene.DeleteAll();
    control.mainWindow = control.activeWindow = control.currentWindow = nullptr;
}

}  // namespace
