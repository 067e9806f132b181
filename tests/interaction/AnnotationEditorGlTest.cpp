#include <gtest/gtest.h>

#include <vector>

#include "control/dialogs/Dialog.h"
#include "control/dialogs/TextInputDialog.h"
#include "interaction/Dimension.h"
#include "interaction/DimensionEditor.h"
#include "interaction/Text.h"
#include "interaction/TextEditor.h"
#include "support/EditorScene.h"

namespace {

template <class T>
std::vector<T*> All(BaseControl& control) {
    std::vector<T*> found;
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
        if (auto* object = dynamic_cast<T*>(node)) found.push_back(object);
    return found;
}

class AnnotationEditorGlTest : public ::testing::Test {
protected:
    ~AnnotationEditorGlTest() override { Dialog::SetModalRunner(nullptr); }
    EditorScene scene;
};

// A drag in the dimension mode draws a dimension whose length snaps to whole units along
// the drag; drawing it unhides dimensions; a drag of its end moves the end; undo takes
// both edits back.
TEST_F(AnnotationEditorGlTest, DimensionModeDrawsAndEditsDimensions) {
    ASSERT_TRUE(scene.HasOpenGL());
    scene.DrawFrame();
    scene.view.viewFlags.SetInt64(0, TypeBit::kDimension);
    ASSERT_TRUE(scene.view.SetMouseMode(8));
    auto* editor = dynamic_cast<DimensionEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->IsCreating());
    scene.Drag({{10, 24}, {22, 25}, {40, 25}});
    std::vector<Dimension*> dimensions = All<Dimension>(*scene.control);
    ASSERT_EQ(dimensions.size(), 1u);
    Dimension* d = dimensions[0];
    EXPECT_TRUE(d->IsUserDefined());
    EXPECT_NEAR(d->GetStart().x, -22.0, 0.01);
    EXPECT_NEAR(d->GetStart().Distance(d->GetEnd()), 30.0, 1e-9);
    EXPECT_NEAR(d->GetEnd().y, d->GetStart().y, 1e-9) << "snapped along the drag";
    EXPECT_EQ(scene.view.viewFlags.GetInt64(0) & TypeBit::kDimension, 0);
    EXPECT_EQ(scene.UndoGroups(), 1);

    // Editing: the end handle moves in whole units along the measuring line.
    editor->SetEditLock(false);
    scene.view.viewFlags.SetInteger(0, Window::kBlueprintView);
    d->SetSelected(true);
    // The dimension's picked handle comes from the press; hand it over directly.
    d->BeginUndoStep();
    d->DragHandle(Vector(13.4, 3, 0), d->GetHandle(1), true, false);
    d->EndUndoStep();
    EXPECT_NEAR(d->GetEnd().x, 13.0, 1e-9);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_NEAR(d->GetEnd().x, 8.0, 0.01);
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_TRUE(All<Dimension>(*scene.control).empty());
}

// In a plan view the text mode places a text at the click; the input dialog then sets
// its text, and OK with an empty box removes it again, leaving nothing to undo.
TEST_F(AnnotationEditorGlTest, TextModePlacesTextsAtAClick) {
    ASSERT_TRUE(scene.HasOpenGL());
    scene.DrawFrame();
    std::string typed = "Kitchen";
    Dialog::SetModalRunner([&typed](Dialog& dialog) {
        auto* input = dynamic_cast<TextInputDialog*>(&dialog);
        if (!input) return Dialog::kCancel;
        input->SetText(typed);
        input->GetOwner()->OnDialogNotify(input, Dialog::kNotifyApply);
        return Dialog::kOk;
    });
    ASSERT_TRUE(scene.view.SetMouseMode(9));
    auto* editor = dynamic_cast<TextEditor*>(scene.view.GetCurrentMode());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->IsPlacing());
    Text* placed = editor->PlaceNewText(30, 20);
    ASSERT_NE(placed, nullptr);
    std::vector<Text*> texts = All<Text>(*scene.control);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->GetText(), "Kitchen");
    EXPECT_NEAR(texts[0]->GetPosition().x, -2.0, 0.01);
    EXPECT_FALSE(texts[0]->IsVisibleIn3D()) << "made in a plan view";
    EXPECT_FALSE(editor->IsPlacing());

    typed.clear();
    placed = editor->PlaceNewText(40, 20);
    EXPECT_EQ(All<Text>(*scene.control).size(), 1u) << "an emptied text goes";
    EXPECT_EQ(TextEditor::GetCurrentText(), nullptr);
    scene.control->deletedObjects.DeleteAll();
    EXPECT_EQ(scene.UndoGroups(), 1) << "only the first text's creation";
    ASSERT_TRUE(scene.control->BaseControl::Undo());
    EXPECT_TRUE(All<Text>(*scene.control).empty());
    ASSERT_TRUE(scene.control->BaseControl::Redo());
    texts = All<Text>(*scene.control);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->GetText(), "Kitchen");

    // Characters beyond ASCII draw from the face's own glyphs and count for the width.
    Text* label = texts[0];
    auto drawnWidth = [&](const char* text) {
        label->SetText(text);
        scene.control->LockRender();
        scene.view.Activate();
        scene.control->currentWindow = &scene.view;
        label->Render();
        label->Render();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        scene.control->UnlockRender();
        return label->GetWidth();
    };
    const double ascii = drawnWidth("Kche");
    const double umlaut = drawnWidth(
        "K\xC3\xBC"
        "che");
    EXPECT_GT(ascii, 0.0);
    EXPECT_GT(umlaut, ascii);
}

}  // namespace
