#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "building/Column.h"
#include "building/Fence.h"
#include "building/Stairs.h"
#include "interaction/ColumnEditor.h"
#include "interaction/FenceEditor.h"
#include "interaction/StairEditor.h"
#include "interaction/TapeMeasure.h"
#include "support/EditorScene.h"
#include "support/PlanStreams.h"

namespace {

using platform::VK_CONTROL;
using platform::VK_RIGHT;
using platform::VK_SHIFT;

// The editor scene seen from straight above, the eye 400 over the ground plane y = 0.
class TopDownScene : public EditorScene {
public:
    TopDownScene() {
        // A storey as high as a wall, so that the blueprint view shows what stands on it.
        control->wallState.SetDouble(5, 108.0);
        view.camera.SetVector(0, Vector(0, -400, 0));
        view.camera.SetVector(1, Vector(90, -90, 0));
        DrawFrame();
        origin = view.ScreenToHeightPlane(32, 24, 0.0);
        const Vector right = view.ScreenToHeightPlane(42, 24, 0.0);
        const Vector down = view.ScreenToHeightPlane(32, 34, 0.0);
        ux = Vector((right.x - origin.x) / 10, 0, (right.z - origin.z) / 10);
        uy = Vector((down.x - origin.x) / 10, 0, (down.z - origin.z) / 10);
    }
    // The window pixel over ground point (x, z).
    std::pair<int, int> Pixel(double x, double z) const {
        const double det = ux.x * uy.z - ux.z * uy.x;
        const double dx = x - origin.x, dz = z - origin.z;
        const double a = (dx * uy.z - dz * uy.x) / det;
        const double b = (ux.x * dz - ux.z * dx) / det;
        return {static_cast<int>(std::lround(32 + a)), static_cast<int>(std::lround(24 + b))};
    }
    template <class T>
    std::vector<T*> All() {
        std::vector<T*> out;
        for (LinkedListObject* node = control->scene.GetHead(); node; node = node->GetNext())
            if (auto* object = dynamic_cast<T*>(node)) out.push_back(object);
        return out;
    }

    Vector origin, ux, uy;
};

class StairEditorGlTest : public ::testing::Test {
protected:
    TopDownScene scene;
};

TEST_F(StairEditorGlTest, ADragDrawsAStairThatDeselectingCompletes) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_GT(std::fabs(scene.ux.x) + std::fabs(scene.ux.z), 0.5) << "the view sees the ground";
    ASSERT_TRUE(scene.view.SetMouseMode(KindCode::kStairs));
    auto* editor = dynamic_cast<StairEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->IsEditLocked());

    // From (-20, 0) towards (10, 4): the direction snaps onto the x axis.
    const auto press = scene.Pixel(-20, 0);
    const auto mid = scene.Pixel(-5, 2);
    const auto end = scene.Pixel(10, 4);
    scene.Drag({press, mid, end});
    auto stairs = scene.All<Stairs>();
    ASSERT_EQ(stairs.size(), 1u);
    Stairs* s = stairs[0];
    EXPECT_FALSE(editor->IsEditLocked()) << "the release ends the drawing";
    EXPECT_FALSE(s->IsCreationDone());
    EXPECT_NEAR(std::fabs(s->GetDirection().x), 1.0, 1e-9);
    const OutlinePoint* c = s->GetOutline().GetPrimaryPoints();
    EXPECT_NEAR(std::fabs(c[0].position.z - c[1].position.z), 36.0, 1e-6);
    const double run = std::fabs(c[2].position.x - c[1].position.x);
    EXPECT_NEAR(run, std::hypot(30.0, 4.0), 1.5);
    EXPECT_EQ(scene.UndoGroups(), 1);

    // Deselecting the unfinished stair builds its steps.
    scene.control->SelectAll(false);
    EXPECT_TRUE(s->IsCreationDone());
    EXPECT_GT(s->GetStepCount(), 1);

    // Undo takes the new stair away; redo brings it back.
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_TRUE(scene.All<Stairs>().empty());
    ASSERT_TRUE(scene.control->BaseControl::Redo());
    EXPECT_EQ(scene.All<Stairs>().size(), 1u);
}

TEST_F(StairEditorGlTest, ANudgeClosesItsStepWhenCtrlGoesUpFirst) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_TRUE(scene.view.SetMouseMode(KindCode::kStairs));
    auto* stairs = new Stairs(Vector(0, 0, 0));
    KeyDataList keys;
    Outline corners;
    for (const Vector& p : {Vector(0, 0, -18), Vector(0, 0, 18), Vector(24, 0, 18),
                            Vector(24, 0, -18)})
        corners.InsertPoint(p, corners.GetPrimaryCount(), false);
    corners.Save(keys, "outline");
    keys.AddDouble("creationDone", 1.0);
    stairs->ReadKeyData(keys);
    scene.control->scene.Append(stairs);
    stairs->SetSelected(true);
    auto* editor = dynamic_cast<StairEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    editor->SetEditLock(false);
    const Vector before = stairs->GetBoundingBox().min;

    // The key repeats while held; Ctrl goes up before it.
    scene.Key(VK_CONTROL, true);
    scene.Key(VK_RIGHT, true);
    scene.Key(VK_RIGHT, true);
    scene.Key(VK_CONTROL, false);
    scene.Key(VK_RIGHT, false);
    const Vector after = stairs->GetBoundingBox().min;
    EXPECT_NEAR(before.Distance(after), 4.0, 1e-9) << "two nudges of 2";
    EXPECT_EQ(scene.UndoGroups(), 1) << "the whole nudge is one undo step";
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_NEAR(stairs->GetBoundingBox().min.Distance(before), 0.0, 1e-9);
}

TEST_F(StairEditorGlTest, DraggingATreadMovesTheStairAndUndoPutsItBack) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_TRUE(scene.view.SetMouseMode(KindCode::kStairs));
    auto* stairs = new Stairs;
    KeyDataList keys;
    Outline corners;
    for (const Vector& p : {Vector(-20, 0, -18), Vector(-20, 0, 18), Vector(20, 0, 18),
                            Vector(20, 0, -18)})
        corners.InsertPoint(p, corners.GetPrimaryCount(), false);
    corners.Save(keys, "outline");
    keys.AddDouble("creationDone", 1.0);
    stairs->ReadKeyData(keys);
    scene.control->scene.Append(stairs);
    auto* editor = dynamic_cast<StairEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    editor->SetEditLock(false);
    const BoundingBox before = stairs->GetBoundingBox();

    // A press on a tread, dragged along x: the first 6 pixels are within the drag
    // threshold, the next 6 move the stair.
    const auto press = scene.Pixel(0, 0);
    scene.Drag({press, scene.Pixel(6, 0), scene.Pixel(12, 0)});
    EXPECT_EQ(editor->GetStairs(), stairs);
    EXPECT_NEAR(stairs->GetBoundingBox().min.x - before.min.x, 6.0, 1.5);
    EXPECT_NEAR(stairs->GetBoundingBox().min.z, before.min.z, 1e-4);
    EXPECT_NEAR(stairs->GetBoundingBox().min.y, before.min.y, 1e-9);
    EXPECT_EQ(scene.UndoGroups(), 1);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_NEAR(stairs->GetBoundingBox().min.x, before.min.x, 1e-9);
}

class TapeMeasureEditorGlTest : public ::testing::Test {
protected:
    TopDownScene scene;
};

TEST_F(TapeMeasureEditorGlTest, ADragStretchesTheTapeInFortyFiveDegreeSteps) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_TRUE(scene.view.SetMouseMode(24));
    TapeMeasure& tape = scene.control->tapeMeasure;
    // 30 degrees off the x axis, 20 long: the tape lies at 45 degrees, 20 long.
    const double a = 30.0 * M_PI / 180.0;
    scene.Drag({scene.Pixel(-10, 0), scene.Pixel(2, 0),
                scene.Pixel(-10 + 20 * std::cos(a), 20 * std::sin(a))});
    EXPECT_EQ(tape.window, &scene.view);
    Vector d = tape.end;
    d.Subtract(tape.start);
    EXPECT_NEAR(std::hypot(d.x, d.z), 20.0, 1.0);
    EXPECT_NEAR(std::fabs(std::atan2(d.z, d.x)) * 180.0 / M_PI, 45.0, 1e-6);
    // Ctrl+K leaves a chalk line; leaving the mode hides the tape.
    scene.Key(platform::VK_CONTROL, true);
    scene.Key('K', true);
    scene.Key('K', false);
    scene.Key(platform::VK_CONTROL, false);
    EXPECT_EQ(scene.control->extraList.GetCount(), 1);
    ASSERT_TRUE(scene.view.SetMouseMode(0));
    EXPECT_EQ(tape.window, nullptr);
    scene.control->extraList.DeleteAll();
}

class FenceEditorGlTest : public ::testing::Test {
protected:
    TopDownScene scene;
};

TEST_F(FenceEditorGlTest, DrawingSnapsEndsDropsShortFencesAndExtendsEnds) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_TRUE(scene.view.SetMouseMode(KindCode::kFence));
    platform::SetMessageBoxResponder(
        [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::Ok; });

    // 30 degrees off the x axis snaps to 22.5 at the same length.
    const double length = 24.0;
    const double a = 30.0 * M_PI / 180.0;
    scene.Drag({scene.Pixel(-20, 0), scene.Pixel(-8, 0),
                scene.Pixel(-20 + length * std::cos(a), length * std::sin(a))});
    auto fences = scene.All<Fence>();
    ASSERT_EQ(fences.size(), 1u);
    const Outline& o = fences[0]->GetOutline();
    ASSERT_EQ(o.GetPrimaryCount(), 2);
    Vector d = o.GetPrimaryPoints()[1].position;
    d.Subtract(o.GetPrimaryPoints()[0].position);
    const double angle = std::atan2(std::fabs(d.z), d.x) * 180.0 / M_PI;
    EXPECT_NEAR(angle, 22.5, 1e-6);
    EXPECT_NEAR(std::hypot(d.x, d.z), length, 1.5);
    EXPECT_EQ(scene.UndoGroups(), 1);

    // A drag that ends near its start leaves no fence, and nothing to redo.
    scene.Drag({scene.Pixel(20, -15), scene.Pixel(20, -3), scene.Pixel(22, -14)});
    EXPECT_EQ(scene.All<Fence>().size(), 1u);
    EXPECT_EQ(scene.UndoGroups(), 1);

    // A drag from near the last post extends that fence.
    const Vector last = o.GetPrimaryPoints()[1].position;
    scene.Drag({scene.Pixel(last.x + 2, last.z), scene.Pixel(last.x + 14, last.z),
                scene.Pixel(last.x + 16, last.z + 2)});
    ASSERT_EQ(scene.All<Fence>().size(), 1u);
    EXPECT_EQ(fences[0]->GetOutline().GetPrimaryCount(), 3);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_EQ(fences[0]->GetOutline().GetPrimaryCount(), 2);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);

    // A right button released in the middle of a drag closes the editor's group.
    const auto start = scene.Pixel(10, 15);
    platform::SetKeyState(platform::VK_LBUTTON, true);
    scene.Mouse(platform::WM_LBUTTONDOWN, start.first, start.second);
    scene.Mouse(platform::WM_MOUSEMOVE, start.first + 12, start.second);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 1);
    platform::SetKeyState(platform::VK_RBUTTON, true);
    scene.Mouse(platform::WM_RBUTTONDOWN, start.first + 12, start.second);
    platform::SetKeyState(platform::VK_RBUTTON, false);
    scene.Mouse(platform::WM_RBUTTONUP, start.first + 12, start.second);
    platform::SetKeyState(platform::VK_LBUTTON, false);
    scene.Mouse(platform::WM_LBUTTONUP, start.first + 12, start.second);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);
}

TEST_F(FenceEditorGlTest, AColumnClickPlacesOneColumnInOneClosedGroup) {
    ASSERT_TRUE(scene.HasOpenGL());
    ASSERT_TRUE(scene.view.SetMouseMode(KindCode::kColumn));
    ASSERT_NE(dynamic_cast<ColumnEditor*>(scene.view.GetCurrentMode()), nullptr);
    platform::SetMessageBoxResponder(
        [](const platform::MessageBoxRequest&) { return platform::MessageAnswer::Ok; });

    const auto at = scene.Pixel(-10, 5);
    scene.Click(at.first, at.second);
    scene.Timer(MouseHandler::kSingleClickTimer);
    auto columns = scene.All<Column>();
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0]->GetOutline().GetPrimaryCount(), 1);
    EXPECT_TRUE(scene.All<Fence>().size() == 1u);
    EXPECT_EQ(scene.UndoGroups(), 1);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);

    // A click on the column's own end leaves the object as it was.
    const std::string before = plan_streams::Keys(*columns[0]);
    scene.Click(at.first, at.second);
    scene.Timer(MouseHandler::kSingleClickTimer);
    ASSERT_EQ(scene.All<Column>().size(), 1u);
    EXPECT_EQ(plan_streams::Keys(*columns[0]), before);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);

    // A drag draws a run of two; undo takes the run away again.
    scene.Drag({scene.Pixel(20, -15), scene.Pixel(20, -3), scene.Pixel(22, 10)});
    ASSERT_EQ(scene.All<Column>().size(), 2u);
    EXPECT_EQ(scene.All<Column>()[1]->GetOutline().GetPrimaryCount(), 2);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_EQ(scene.All<Column>().size(), 1u);
    EXPECT_EQ(scene.control->GetUndoList().GroupDepth(), 0);
}

}  // namespace
