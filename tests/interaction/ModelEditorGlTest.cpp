#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "interaction/ModelEditor.h"
#include "interaction/ModelRotater.h"
#include "model/Model.h"
#include "support/EditorScene.h"

namespace {

// A flat square item facing the scene's camera, with the handle of its z axis drawn
// near its right edge as the second pick name.
class Turnable : public TestItem {
public:
    Turnable() : TestItem(TypeMask::kModelObject) { SetBox(-20, -20, 0, 20, 20, 0); }
    void Render() override {
        glLoadName(GetPickName());
        glPushName(face.GetPickName());
        Quad(-20, -20, 12, 20, 0.0);
        glPopName();
        glPushName(GetHandle(2).GetPickName());
        Quad(14, -2, 18, 2, 0.5);
        glPopName();
    }
    Block::Face face;
    static void Quad(double x0, double y0, double x1, double y1, double z) {
        glBegin(GL_QUADS);
        glVertex3d(x0, y0, z);
        glVertex3d(x1, y0, z);
        glVertex3d(x1, y1, z);
        glVertex3d(x0, y1, z);
        glEnd();
    }
};

// A catalogue model whose parts are one flat square over its box at its position, seen
// by the scene's camera (the geometry of catalogue files is the model's own business).
class FlatModel : public Model {
public:
    void Render() override {
        glLoadName(GetPickName());
        glPushName(face.GetPickName());
        const Vector& p = GetPosition();
        const double w = (box.max.x - box.min.x) * scale.x;
        const double h = (box.max.y - box.min.y) * scale.y;
        glBegin(GL_QUADS);
        glVertex3d(p.x, p.y, p.z);
        glVertex3d(p.x + w, p.y, p.z);
        glVertex3d(p.x + w, p.y + h, p.z);
        glVertex3d(p.x, p.y + h, p.z);
        glEnd();
        glPopName();
    }
    Block::Face face;

protected:
    Model* NewOfSameKind() const override { return new FlatModel; }
};

// The turn about z in degrees that the item's matrix holds.
double TurnAboutZ(const TestItem& item) {
    const Matrix& m = item.GetRotation();
    return std::atan2(m.m[1], m.m[0]) * 57.29577951308;
}

class ModelEditorGlTest : public ::testing::Test {
protected:
    ModelEditorGlTest() : scene(true) {}

    // A catalogue model 12 units square standing so that it covers the view's centre
    // (pixels 26..38 x 18..30).
    Model* AddModel() {
        auto* model = new FlatModel;
        model->LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        BoundingBox box;
        box.min.Set(0, 0, 0, 1);
        box.max.Set(12, 12, 0, 1);
        model->SetBoundingBox(box);
        model->SetPosition(Vector(-6, -6, 0));
        scene.control->scene.Append(model);
        DrawScene();
        return model;
    }
    // A whole frame, so that the depth under the cursor is the scene's.
    void DrawScene() {
        scene.DrawFrame();
        scene.control->LockRender();
        scene.view.Activate();
        scene.view.RenderScene(0, 0);
        scene.control->UnlockRender();
    }
    ModelEditor* Editor() { return dynamic_cast<ModelEditor*>(scene.view.GetMode(0)); }
    int OpenGroups() const { return scene.control->GetUndoList().GroupDepth(); }

    EditorScene scene;
};

TEST_F(ModelEditorGlTest, TheProductsModesAreTheModelEditorAndTheRotater) {
    EXPECT_NE(dynamic_cast<ModelEditor*>(scene.view.GetMode(0)), nullptr);
    EXPECT_NE(dynamic_cast<ModelRotater*>(scene.view.GetMode(6)), nullptr);
}

// A drag moves the model with the pointer (the scene's camera is level: the model keeps
// its height and its depth), as one undo group that undo takes back whole.
TEST_F(ModelEditorGlTest, DragMovesTheModelAsOneUndoGroup) {
    ASSERT_TRUE(scene.HasOpenGL());
    Model* model = AddModel();
    scene.Drag({{32, 24}, {36, 24}, {46, 24}, {50, 20}});
    EXPECT_NEAR(model->GetPosition().x, -6 + 18, 1e-6) << "the model keeps its place under the cursor";
    EXPECT_NEAR(model->GetPosition().y, -6, 1e-9);
    EXPECT_TRUE(model->IsSelected());
    EXPECT_EQ(scene.UndoGroups(), 1);
    EXPECT_EQ(OpenGroups(), 0);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_NEAR(model->GetPosition().x, -6, 1e-9);
}

// 'Q' leaves a copy where the model stood; one undo removes the copy and puts the
// model back.
TEST_F(ModelEditorGlTest, QDragLeavesACopyThatOneUndoRemoves) {
    ASSERT_TRUE(scene.HasOpenGL());
    Model* model = AddModel();
    scene.Key('Q', true);
    scene.Drag({{32, 24}, {36, 24}, {46, 24}});
    scene.Key('Q', false);
    ASSERT_EQ(scene.control->scene.GetCount(), 2u);
    Model* copy = nullptr;
    for (auto* node = scene.control->scene.GetHead(); node; node = node->GetNext())
        if (node != model) copy = dynamic_cast<Model*>(node);
    ASSERT_NE(copy, nullptr);
    EXPECT_NEAR(copy->GetPosition().x, -6, 1e-9) << "the copy stays behind";
    EXPECT_NEAR(model->GetPosition().x, -6 + 14, 1e-6);
    EXPECT_EQ(OpenGroups(), 0);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_EQ(scene.control->scene.GetCount(), 1u);
    EXPECT_NEAR(model->GetPosition().x, -6, 1e-9);
}

// Alt scales by one per cent per pixel to the right; a step that would scale by zero or
// less is refused.
TEST_F(ModelEditorGlTest, AltDragScalesOnePerCentPerPixel) {
    ASSERT_TRUE(scene.HasOpenGL());
    Model* model = AddModel();
    platform::SetKeyState(platform::VK_MENU, true);
    scene.Drag({{32, 24}, {34, 24}, {44, 24}});
    EXPECT_NEAR(model->scale.x, 1.1, 1e-9);
    EXPECT_NEAR(model->scale.z, 1.1, 1e-9);
    const Vector before = model->scale;
    scene.Drag({{34, 24}, {33, 24}, {0, 24}, {-150, 24}});
    EXPECT_GT(model->scale.x, 0.0) << "a factor of zero or less is refused";
    EXPECT_LT(model->scale.x, before.x);
    platform::SetKeyState(platform::VK_MENU, false);
    EXPECT_EQ(OpenGroups(), 0);
}

// However a drag ends, its undo group is closed: a right press, a change of mode, a
// release over an object that got locked meanwhile.
TEST_F(ModelEditorGlTest, EveryEndOfADragClosesItsGroup) {
    ASSERT_TRUE(scene.HasOpenGL());
    Model* model = AddModel();
    struct Case {
        const char* what;
        std::function<void()> interrupt;
    };
    const Case cases[] = {
        {"right press", [&] { scene.Mouse(platform::WM_RBUTTONDOWN, 46, 24); }},
        {"mode change", [&] { scene.view.SetMouseMode(7); }},
        {"locked meanwhile", [&] { model->SetLocked(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model->SetLocked(false);
        model->SetPosition(Vector(-6, -6, 0));
        DrawScene();
        scene.view.SetMouseMode(0);
        platform::SetKeyState(platform::VK_LBUTTON, true);
        scene.Mouse(platform::WM_LBUTTONDOWN, 32, 24);
        scene.Mouse(platform::WM_MOUSEMOVE, 46, 24);
        EXPECT_EQ(OpenGroups(), 1);
        c.interrupt();
        platform::SetKeyState(platform::VK_LBUTTON, false);
        scene.Mouse(platform::WM_LBUTTONUP, 46, 24);
        if (platform::IsKeyDown(platform::VK_RBUTTON)) platform::SetKeyState(platform::VK_RBUTTON, false);
        scene.Mouse(platform::WM_RBUTTONUP, 46, 24);
        EXPECT_EQ(OpenGroups(), 0);
    }
}

// A press on an item's rotation handle goes from the model editor to the rotater, which
// turns in 22.5-degree steps: a sweep of 30 degrees turns once, and the rest is dropped.
// Shift turns freely. Each turn is one closed undo group.
TEST_F(ModelEditorGlTest, HandlePressTurnsInSnappedSteps) {
    ASSERT_TRUE(scene.HasOpenGL());
    auto* item = new Turnable;
    scene.control->scene.Append(item);
    scene.DrawFrame();
    // The z handle turns about the item's centre, pixel (32, 24); the press at scene
    // (16, 0) starts along +x, the move out to (28, 0) passes the drag threshold.
    scene.Drag({{48, 24}, {60, 24}, {56, 10}});  // 30 degrees
    EXPECT_EQ(scene.Mode(), 6) << "the model editor handed the press to the rotater";
    EXPECT_NEAR(TurnAboutZ(*item), 22.5, 1e-6);
    EXPECT_EQ(OpenGroups(), 0);

    scene.Drag({{48, 24}, {60, 24}, {59, 17}});  // 14.5 degrees
    EXPECT_NEAR(TurnAboutZ(*item), 22.5, 1e-6) << "a sweep below the step turns nothing";

    platform::SetKeyState(platform::VK_SHIFT, true);
    scene.Drag({{48, 24}, {60, 24}, {59, 17}});
    platform::SetKeyState(platform::VK_SHIFT, false);
    EXPECT_NEAR(TurnAboutZ(*item), 22.5 + 14.5, 2.0) << "Shift turns freely";
    EXPECT_EQ(OpenGroups(), 0);
}

// A sweep through the handle's centre (where the cursor has almost no direction) keeps
// every angle and the matrix finite.
TEST_F(ModelEditorGlTest, SweepThroughTheCentreStaysFinite) {
    ASSERT_TRUE(scene.HasOpenGL());
    auto* item = new Turnable;
    scene.control->scene.Append(item);
    scene.DrawFrame();
    scene.Drag({{48, 24}, {60, 24}, {32, 24}});
    auto* rotater = dynamic_cast<ModelRotater*>(scene.view.GetMode(6));
    ASSERT_NE(rotater, nullptr);
    EXPECT_TRUE(std::isfinite(rotater->GetLastAngle()));
    for (double v : item->GetRotation().m) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(OpenGroups(), 0);
}

}  // namespace
