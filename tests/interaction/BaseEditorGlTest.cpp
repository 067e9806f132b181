#include <gtest/gtest.h>

#include <vector>

#include "platform/MessageBox.h"
#include "support/EditorScene.h"

namespace {

using platform::VK_CONTROL;
using platform::VK_LEFT;
using platform::VK_RIGHT;

class BaseEditorGlTest : public ::testing::Test {
protected:
    EditorScene scene;
};

// A model is selected and dragged by the model editor; a press on a wall hands the same
// press to the wall editor, which drags the wall; Esc changes nothing. Each drag is one
// undo group, and undo puts each object back.
TEST_F(BaseEditorGlTest, PressOnAnotherEditorsObjectHandsItOverOnce) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* model = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, -16, 0));
    Block* wall = scene.Add(new Block(TypeMask::kWall, KindCode::kWall, 16, 0));

    scene.Click(16, 24);  // the model at (-16, 0)
    EXPECT_TRUE(model->IsSelected());
    EXPECT_EQ(scene.UndoGroups(), 0) << "a click changes nothing";

    // The first 6 pixels are within the drag threshold; the next step moves by (4, 4).
    scene.Drag({{16, 24}, {22, 24}, {26, 20}});
    EXPECT_EQ(model->x, -12);
    EXPECT_EQ(model->y, 4);
    EXPECT_EQ(scene.UndoGroups(), 1);

    const int modelPresses = scene.models->presses;
    scene.Drag({{48, 24}, {48, 34}, {48, 40}});  // the wall at (16, 0)
    EXPECT_EQ(scene.Mode(), 3);
    EXPECT_EQ(scene.models->presses, modelPresses + 1);
    EXPECT_EQ(scene.walls->presses, 1) << "the wall editor got the same press, once";
    EXPECT_EQ(wall->y, -16);
    EXPECT_TRUE(wall->IsSelected());
    EXPECT_FALSE(model->IsSelected()) << "dragging the wall selected it alone";
    EXPECT_EQ(scene.UndoGroups(), 2);

    platform::Message escape;
    escape.message = platform::WM_KEYDOWN;
    escape.wParam = platform::VK_ESCAPE;
    scene.control->ProcessKey(escape);
    EXPECT_EQ(scene.UndoGroups(), 2);

    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_EQ(wall->y, 0);
    EXPECT_EQ(model->x, -12);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_EQ(model->x, -16);
    EXPECT_EQ(model->y, 0);
}

// The ground belongs to no other editor; an object whose editor does not take it
// either stays with the editor it was handed to.
TEST_F(BaseEditorGlTest, GroundStaysAndARefusedObjectIsHandedOnOnce) {
    ASSERT_TRUE(scene.HasOpenGL());
    auto* ground = new BlockGround;
    scene.control->terrain = ground;
    scene.view.SetMouseMode(3);
    scene.Click(5, 5);
    EXPECT_EQ(scene.Mode(), 3);

    // A floor: its editor (mode 1) is the base editor, which takes nothing of its own.
    Block* floor = scene.Add(new Block(TypeMask::kFloor, KindCode::kFloor, 0, 0, 1));
    scene.Mouse(platform::WM_LBUTTONDOWN, 32, 24);
    EXPECT_EQ(scene.Mode(), 1);
    auto* floorEditor = dynamic_cast<BaseEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(floorEditor, nullptr);
    EXPECT_EQ(floorEditor->GetEditedObject(), floor);
    EXPECT_FALSE(MouseHandler::Input().handingOver);
    scene.Mouse(platform::WM_LBUTTONUP, 32, 24);
}

TEST_F(BaseEditorGlTest, LockedObjectIsOfferedToUnlockAndNotDragged) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* model = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 0, 0));
    model->SetLocked(true);
    std::vector<platform::MessageBoxRequest> asked;
    platform::MessageAnswer answer = platform::MessageAnswer::No;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& box) {
        EXPECT_FALSE(scene.control->RenderLock().IsHeld()) << "the views go on drawing";
        asked.push_back(box);
        return answer;
    });

    for (platform::MessageAnswer given : {platform::MessageAnswer::No, platform::MessageAnswer::Yes}) {
        answer = given;
        scene.Drag({{32, 24}, {44, 24}, {50, 24}, {56, 24}});
        EXPECT_EQ(model->x, 0) << "moved nothing";
    }
    ASSERT_EQ(asked.size(), 2u) << "one question per drag";
    EXPECT_EQ(asked[0].caption, "Object locked");
    EXPECT_EQ(asked[0].text, "Object is locked.  Do you want to unlock it?");
    EXPECT_EQ(asked[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_FALSE(model->IsLocked()) << "unlocked by Yes";
    EXPECT_EQ(scene.UndoGroups(), 0);

    scene.Drag({{32, 24}, {44, 24}});
    EXPECT_EQ(model->x, 12);
}

// A click selects one object alone; Shift-click adds or removes a model, but not a wall,
// which clears the rest and takes its editor's mode; a click on nothing clears all.
TEST_F(BaseEditorGlTest, ClicksSelectOneObjectShiftAddsModels) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* left = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, -16, 0));
    Block* right = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 16, 0));
    Block* wall = scene.Add(new Block(TypeMask::kWall, KindCode::kWall, 0, 16));

    scene.Click(16, 24);
    scene.Click(48, 24);
    EXPECT_FALSE(left->IsSelected());
    EXPECT_TRUE(right->IsSelected());

    platform::SetKeyState(platform::VK_SHIFT, true);
    scene.Click(16, 24);
    EXPECT_TRUE(left->IsSelected());
    EXPECT_TRUE(right->IsSelected());
    scene.Click(48, 24);
    EXPECT_TRUE(left->IsSelected());
    EXPECT_FALSE(right->IsSelected()) << "Shift-click takes a model out again";
    scene.Click(32, 8);
    EXPECT_TRUE(wall->IsSelected());
    EXPECT_FALSE(left->IsSelected());
    EXPECT_EQ(scene.Mode(), 3);
    platform::SetKeyState(platform::VK_SHIFT, false);

    scene.Click(60, 44);
    EXPECT_FALSE(wall->IsSelected());
}

// Ctrl with an arrow moves every selected model by the nudge step along the screen's
// axis; the nudges up to the last arrow's release are one undo group of one step per
// model, closed also when Ctrl goes up first or the mode changes.
TEST_F(BaseEditorGlTest, CtrlArrowsNudgeTheSelectionAsOneUndoGroup) {
    ASSERT_TRUE(scene.HasOpenGL());
    Block* first = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, -16, 0));
    Block* second = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 16, 0));
    Block* unselected = scene.Add(new Block(TypeMask::kModelObject, KindCode::kNone, 0, 16));
    first->SetSelected(true);
    second->SetSelected(true);
    auto* editor = scene.models;

    // Held: the key repeats; both arrows released last, Ctrl first or last.
    struct Sequence {
        const char* name;
        std::vector<std::pair<int, bool>> keys;
        double moved;
    };
    const Sequence sequences[] = {
        {"ctrl released last",
         {{VK_CONTROL, true}, {VK_LEFT, true}, {VK_LEFT, true}, {VK_LEFT, false}, {VK_CONTROL, false}},
         -4},
        {"ctrl released first",
         {{VK_CONTROL, true}, {VK_RIGHT, true}, {VK_CONTROL, false}, {VK_RIGHT, false}},
         2},
        {"two arrows",
         {{VK_CONTROL, true}, {VK_LEFT, true}, {VK_RIGHT, true}, {VK_RIGHT, true}, {VK_LEFT, false},
          {VK_RIGHT, false}, {VK_CONTROL, false}},
         2},
    };
    int groups = 0;
    for (const Sequence& s : sequences) {
        SCOPED_TRACE(s.name);
        const double before = first->x;
        for (auto [key, down] : s.keys) {
            scene.Key(key, down);
            if (!down && (key == VK_LEFT || key == VK_RIGHT) && !platform::IsKeyDown(VK_LEFT) &&
                !platform::IsKeyDown(VK_RIGHT)) {
                EXPECT_FALSE(editor->IsNudging()) << "closed at the last arrow's release";
            }
        }
        EXPECT_EQ(first->x - before, s.moved);
        EXPECT_EQ(second->x - 32 - first->x, 0) << "both move alike";
        EXPECT_EQ(unselected->x, 0);
        EXPECT_EQ(scene.UndoGroups(), ++groups);
        EXPECT_EQ(scene.StepsInNewestGroup(), 2) << "one step per model";
        EXPECT_FALSE(scene.view.viewFlags.GetBoolean(11));
    }

    // A mode change ends a nudge still held.
    scene.Key(VK_CONTROL, true);
    scene.Key(VK_LEFT, true);
    EXPECT_TRUE(editor->IsNudging());
    scene.view.SetMouseMode(7);
    EXPECT_FALSE(editor->IsNudging());
    EXPECT_EQ(scene.UndoGroups(), ++groups);
    scene.Key(VK_LEFT, false);
    scene.Key(VK_CONTROL, false);
    scene.view.SetMouseMode(0);

    // Without Ctrl the arrows move the camera, not the selection.
    const double x = first->x;
    scene.Key(VK_LEFT, true);
    scene.Key(VK_LEFT, false);
    EXPECT_EQ(first->x, x);
    EXPECT_EQ(scene.view.camera.GetVector(0).x, 3) << "strafed in the blueprint";
    EXPECT_EQ(scene.UndoGroups(), groups);
}

}  // namespace
