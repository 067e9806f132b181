#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "interaction/TextureCoordEditor.h"
#include "model/Model.h"
#include "render/Material.h"
#include "support/EditorScene.h"
#include "support/PlanStreams.h"

namespace {

// A catalogue model with one textured part: a square from (-16, -16) to (16, 16), so that
// in the editor scene one pixel to the right is 1/32 of the texture in s. The part's
// material is the model's own, so the model's keys carry the texture settings.
class TexturedModel : public Model {
public:
    explicit TexturedModel(double z = 0.0) : z(z) {
        LoadMaterials(nullptr, 0, nullptr, nullptr, nullptr);
        part = new Part(this);
        part->material = &materials[0];
        GetParts().Append(part);
        BoundingBox box;
        box.min.Set(-16, -16, 0, 1);
        box.max.Set(16, 16, 0, 1);
        SetBoundingBox(box);
    }
    void Render() override {
        glLoadName(GetPickName());
        glPushName(part->GetPickName());
        glBegin(GL_TRIANGLES);
        for (int corner : {0, 1, 2, 0, 2, 3}) {
            const double s = corner == 1 || corner == 2 ? 1.0 : 0.0;
            const double t = corner >= 2 ? 1.0 : 0.0;
            glTexCoord2d(s, t);
            glVertex3d(-16 + 32 * s, -16 + 32 * t, z);
        }
        glEnd();
        glPopName();
    }
    double z;
    Part* part;

protected:
    Model* NewOfSameKind() const override { return new TexturedModel; }
};

class TextureCoordEditorGlTest : public ::testing::Test {
protected:
    TextureCoordEditorGlTest() : scene(true) {
        model = new TexturedModel;
        scene.control->scene.Append(model);
    }
    Material& TheMaterial() { return *model->part->material; }
    // The part's menu command that starts a texture mode, as a right click runs it.
    void StartMode(uint32_t command) {
        ASSERT_TRUE(model->part->ProcessPropertyMenu(command));
        ASSERT_EQ(scene.Mode(), command == PartCommand::kMoveMaterial ? 19 : 20);
    }
    // A press at the quad's centre, then moves of `steps` pixels each to the right
    // (the first past the drag threshold), and the release.
    void DragRight(const std::vector<int>& steps) {
        std::vector<std::pair<int, int>> points{{32, 24}};
        int x = 32;
        for (int step : steps) points.push_back({x += step, 24});
        scene.Drag(points);
    }

    EditorScene scene;
    TexturedModel* model = nullptr;
};

TEST_F(TextureCoordEditorGlTest, TheMenuStartsBothModesWithTheirCursors) {
    StartMode(PartCommand::kMoveMaterial);
    auto* editor = dynamic_cast<TextureCoordEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetEditedPart(), model->part);
    EXPECT_EQ(editor->defaultCursor, platform::kSizeAllCursor);
    StartMode(PartCommand::kScaleMaterial);
    EXPECT_EQ(scene.view.GetCurrentMode()->defaultCursor.resourceId, TextureCoordScaler::kCursor);
    EXPECT_EQ(scene.view.GetMode(19)->defaultCursor, platform::kArrowCursor);
}

// The texture follows the pointer: the offset moves back by the texture distance the
// pointer covered, wrapped into (-1, 1); one undo step takes the drag back to the exact
// keys and redo brings it again.
TEST_F(TextureCoordEditorGlTest, OffsetDragFollowsThePointerWrappedAsOneUndoStep) {
    ASSERT_TRUE(scene.HasOpenGL());
    struct Case {
        double start;
        std::vector<int> steps;
        double expected;
    } cases[] = {
        {0.0, {10}, -0.3125},
        {0.0, {10, 5}, -0.46875},
        {0.9, {-10, -4}, 0.3375},    // 1.3375 wraps
        {-0.9, {12, 2}, -0.3375},    // -1.3375 wraps
    };
    for (const Case& c : cases) {
        StartMode(PartCommand::kMoveMaterial);
        TheMaterial().textureOffset = Vector(c.start, 0.25, 0);
        const std::string before = plan_streams::Keys(*model);
        const int groups = scene.UndoGroups();
        DragRight(c.steps);
        EXPECT_NEAR(TheMaterial().textureOffset.x, c.expected, 1e-3) << c.start;
        EXPECT_NEAR(TheMaterial().textureOffset.y, 0.25, 1e-3) << "the drag is level";
        EXPECT_GT(TheMaterial().textureOffset.x, -1.0);
        EXPECT_LT(TheMaterial().textureOffset.x, 1.0);
        EXPECT_EQ(scene.UndoGroups(), groups + 1);
        EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);
        const std::string after = plan_streams::Keys(*model);
        ASSERT_TRUE(scene.control->BaseControl::Undo());
        EXPECT_EQ(plan_streams::Keys(*model), before);
        ASSERT_TRUE(scene.control->BaseControl::Redo());
        EXPECT_EQ(plan_streams::Keys(*model), after);
    }
}

// Ten steps to the right multiply both repeat factors by 1.01 ten times; Alt keeps x,
// Shift keeps y; a step to the left shrinks by 0.99.
TEST_F(TextureCoordEditorGlTest, ScaleDragMultipliesPerStepAndModifiersKeepAnAxis) {
    ASSERT_TRUE(scene.HasOpenGL());
    const std::vector<int> tenRight{10, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const double grown = std::pow(1.01, 10);
    struct Case {
        int key;
        std::vector<int> steps;
        double x, y;
    } cases[] = {
        {0, tenRight, 2 * grown, 3 * grown},
        {platform::VK_MENU, tenRight, 2, 3 * grown},
        {platform::VK_SHIFT, tenRight, 2 * grown, 3},
        {0, {-10, -1}, 2 * 0.99 * 0.99, 3 * 0.99 * 0.99},
    };
    for (const Case& c : cases) {
        StartMode(PartCommand::kScaleMaterial);
        TheMaterial().granularity = Vector(2, 3, 1);
        const std::string before = plan_streams::Keys(*model);
        const int groups = scene.UndoGroups();
        if (c.key) platform::SetKeyState(c.key, true);
        DragRight(c.steps);
        if (c.key) platform::SetKeyState(c.key, false);
        EXPECT_EQ(scene.UndoGroups(), groups + 1) << c.key;
        EXPECT_NEAR(TheMaterial().granularity.x, c.x, 1e-9) << c.key;
        EXPECT_NEAR(TheMaterial().granularity.y, c.y, 1e-9) << c.key;
        const std::string after = plan_streams::Keys(*model);
        ASSERT_TRUE(scene.control->BaseControl::Undo());
        EXPECT_EQ(plan_streams::Keys(*model), before);
        ASSERT_TRUE(scene.control->BaseControl::Redo());
        EXPECT_EQ(plan_streams::Keys(*model), after);
    }
}

// A press on another object leaves the texture alone and goes to that object's mode; a
// drag cut short by a change of mode closes its group; a part that went while the mode
// held it is never reached.
TEST_F(TextureCoordEditorGlTest, APressElsewhereGoesToThatObjectsModeAndAGonePartIsForgotten) {
    ASSERT_TRUE(scene.HasOpenGL());
    // Nearer the eye than the first model, so it takes the press.
    auto* other = new TexturedModel(5.0);
    scene.control->scene.Append(other);
    StartMode(PartCommand::kScaleMaterial);
    const Vector before = TheMaterial().granularity;
    DragRight({10, 1});
    EXPECT_EQ(scene.Mode(), KindCode::kNone);
    EXPECT_TRUE(TheMaterial().granularity.Equals(before));
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);

    // A drag that a change of mode cuts short still closes its undo group.
    StartMode(PartCommand::kMoveMaterial);
    scene.control->scene.Remove(other);
    platform::SetKeyState(platform::VK_LBUTTON, true);
    scene.Mouse(platform::WM_LBUTTONDOWN, 32, 24);
    scene.Mouse(platform::WM_MOUSEMOVE, 44, 24);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 1);
    scene.control->SetMouseMode(0);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);
    platform::SetKeyState(platform::VK_LBUTTON, false);
    scene.Mouse(platform::WM_LBUTTONUP, 44, 24);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);

    delete other;
    StartMode(PartCommand::kMoveMaterial);
    auto* editor = dynamic_cast<TextureCoordEditor*>(scene.view.GetCurrentMode());
    scene.control->scene.Remove(model);
    delete model;
    model = nullptr;
    EXPECT_EQ(editor->GetEditedPart(), nullptr);
    DragRight({10, 1});
    EXPECT_EQ(scene.Mode(), 19);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);
}

}  // namespace
