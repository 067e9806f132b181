#pragma once

#include <cstdint>
#include <vector>

#include "interaction/MouseHandler.h"

class SelectableObject;
class UndoableObject;

// The base of every object editor of a view window. A left press works on the object
// under the cursor; when that object belongs to another editor, the mode switches to
// that editor and the same press is handed to it (once per press). A click selects the
// clicked object alone (Shift adds or removes a model or group), a click on nothing
// clears the selection, and a drag selects the dragged object (a locked one is offered
// to be unlocked and not dragged). Ctrl with the arrow keys nudges the selected models,
// groups and texts, all nudges up to the release of the last arrow key forming one undo
// group.
class BaseEditor : public MouseHandler {
public:
    // Type bits of what the arrow keys nudge: models, groups and texts.
    static constexpr uint64_t kNudgedTypes = 0x1080008;

    BaseEditor() = default;
    ~BaseEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnLButtonDown(intptr_t packedPoint) override;
    void OnLButtonUp(intptr_t packedPoint) override;
    void OnKeyDown(unsigned virtualKey) override;
    void OnKeyUp(unsigned virtualKey) override;
    // Closes a nudge still open.
    void Deactivate() override;
    // Stores the flag; the default cursor becomes the current one.
    void SetEditLock(bool locked) override;
    // Forgets the edited object.
    void ReleaseTarget() override;

    // The object picked by the last left press; null when none.
    SelectableObject* GetEditedObject() const { return editedObject; }
    bool IsLiftPick() const { return lift != 0; }
    bool IsEditLocked() const { return editLock != 0; }
    bool IsNudging() const { return keyNudge != 0; }

protected:
    // Ends the undo steps of the open nudge as one undo group; false when none was open
    // or it had begun none.
    bool CloseNudge();
    // Makes `object` part of the nudge under way: its undo step opens once per nudge and
    // closes with the others when the last arrow key goes up.
    void JoinNudge(UndoableObject& object);

    SelectableObject* editedObject = nullptr;
    // The press picked the control's lift handle with the object.
    uint8_t lift = 0;
    uint8_t editLock = 0;
    // Free for the derived editors.
    int32_t editorWords[2] = {};
    // An arrow-key nudge has begun undo steps that are not closed yet.
    uint8_t keyNudge = 0;

private:
    // Pick names of the objects whose undo steps the open nudge began.
    std::vector<uint32_t> nudged;
};
