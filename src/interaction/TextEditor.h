#pragma once

#include <cstdint>

#include "control/dialogs/DialogOwner.h"
#include "interaction/BaseEditor.h"

class Text;

// The text input dialog of a text: the text is selected, and an OK with an empty box
// deletes it (its creation then leaves no undo entry). True once the dialog ran.
bool RunTextInput(Text* text);
// For a text just made (its creation step still open): the step closes with the dialog,
// or is dropped when the text is emptied.
bool RunTextInput(Text* text, bool created);

// The mouse mode of texts: places new texts (in plan views at the next click, in 3D views
// at once in front of the surface under the view's centre), moves them, and opens the
// text input dialog on a double click.
class TextEditor : public BaseEditor, public DialogOwner {
public:
    TextEditor() = default;
    ~TextEditor() override;

    void Activate() override;
    void Deactivate() override;
    void SetEditLock(bool locked) override;
    void ReleaseTarget() override;
    bool HandlesObject(PickableObject* object) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnLButtonDblClk(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;

    // The text being edited (one for the whole process); null when none.
    static Text* GetCurrentText();
    // Forgets the text when it is the current one (a text that goes clears it).
    static void ForgetText(const Text* text);
    bool IsPlacing() const { return placing != 0; }
    // A new user-defined text at window point (x, y), or for a 3D view in front of the
    // scene; added to the scene as one undo step, then the input dialog. Null when there
    // is no window to place it in.
    Text* PlaceNewText(int x, int y);

private:
    uint8_t placing = 0;
    uint8_t dragging = 0;
};
