#include "interaction/BaseEditor.h"

#include <algorithm>
#include <cmath>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "model/SelectableObject.h"
#include "model/TopLevelObject.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

bool IsArrowKey(unsigned key) {
    return key >= static_cast<unsigned>(platform::VK_LEFT) &&
           key <= static_cast<unsigned>(platform::VK_DOWN);
}

bool AnyArrowDown() {
    for (int key : {platform::VK_LEFT, platform::VK_UP, platform::VK_RIGHT, platform::VK_DOWN})
        if (platform::IsKeyDown(key)) return true;
    return false;
}

// The step of a nudge along the world axis that lies closest to what the arrow means
// on the screen; `view` is the view ray toward the viewer.
Vector NudgeStep(unsigned key, double step, const Vector& view, bool lift) {
    const bool up = key == static_cast<unsigned>(platform::VK_UP);
    const bool down = key == static_cast<unsigned>(platform::VK_DOWN);
    const bool left = key == static_cast<unsigned>(platform::VK_LEFT);
    const bool right = key == static_cast<unsigned>(platform::VK_RIGHT);
    const bool alongZ = std::fabs(view.x) <= std::fabs(view.z);
    if (up || down) {
        if (lift) return Vector(0.0, up ? step : -step, 0.0);
        if (alongZ) {
            const bool back = (view.z > 0 && up) || (view.z < 0 && down);
            return Vector(0.0, 0.0, back ? -step : step);
        }
        const bool back = (view.x > 0 && up) || (view.x < 0 && down);
        return Vector(back ? -step : step, 0.0, 0.0);
    }
    if (alongZ) {
        const bool back = (view.z > 0 && left) || (view.z < 0 && right);
        return Vector(back ? -step : step, 0.0, 0.0);
    }
    const bool forth = (view.x > 0 && left) || (view.x < 0 && right);
    return Vector(0.0, 0.0, forth ? step : -step);
}

bool IsNudgeable(LinkedListObject* node, UndoableObject*& undoable) {
    undoable = dynamic_cast<UndoableObject*>(node);
    if (!undoable || !(undoable->GetTypeMask() & BaseEditor::kNudgedTypes)) return false;
    if (!undoable->IsSelected()) return false;
    auto* top = dynamic_cast<TopLevelObject*>(node);
    return !(top && top->IsLocked());
}

}  // namespace

BaseEditor::~BaseEditor() = default;

void BaseEditor::SetEditLock(bool locked) {
    editLock = locked ? 1 : 0;
    UseCursor(defaultCursor);
}

void BaseEditor::ReleaseTarget() {
    editedObject = nullptr;
}

void BaseEditor::OnLButtonDown(intptr_t packedPoint) {
    MouseHandler::OnLButtonDown(packedPoint);
    MouseInput& in = Input();
    if (!in.left || in.right || in.space || in.eKey) return;
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;

    RenderLockScope lock(control);
    editedObject = nullptr;
    lift = 0;
    if (in.pickCount <= 1) return;
    PickableObject* hit = window->GetPickedObject(0);
    if (!hit) return;
    const uint64_t mask = hit->GetTypeMask();

    // The ground belongs to no editor but its own; anything else goes to its editor,
    // and a press is handed on at most once.
    if (!(mask & TypeBit::kTerrain) && !HandlesObject(hit) && !in.handingOver) {
        auto* top = dynamic_cast<TopLevelObject*>(hit);
        if (!POSTCONDITION(top != nullptr, "tlo is null")) return;
        in.handingOver = 1;
        SwitchMouseMode(top->GetKindCode());
        MouseHandler* next = control->activeWindow ? control->activeWindow->GetCurrentMode() : nullptr;
        const bool handedOn = next && next != this;
        if (handedOn) next->OnLButtonDown(packedPoint);
        in.handingOver = 0;
        if (handedOn) return;
    }

    if (window == control->mainWindow || (mask & TypeBit::kCameraIcon)) {
        editedObject = dynamic_cast<SelectableObject*>(hit);
        lift = window->GetPickedObject(1) == &control->liftHandle ? 1 : 0;
    }
}

void BaseEditor::OnMouseMove(intptr_t packedPoint) {
    MouseHandler::OnMouseMove(packedPoint);
    MouseInput& in = Input();
    if (moveCount <= 0 || !in.left) return;
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(0, true);
    if (in.right || in.shift) return;

    auto* top = dynamic_cast<TopLevelObject*>(editedObject);
    if (top && top->IsLocked()) {
        // A locked object is not dragged, whatever the answer; the question comes once
        // per drag.
        theTrace().Write("Prompt");
        control->AskUnlockObject(top);
        editedObject = nullptr;
        in.left = 0;
        return;
    }

    RenderLockScope lock(control);
    if (!editedObject || !editedObject->IsSelected()) control->SelectAll(false);
    if (editedObject) editedObject->SetSelected(true);
    if (lift) currentCursor = platform::LoadCursor(kVerticalMoveCursor);
}

void BaseEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseInput& in = Input();
    if (!in.left) {
        // A drag that the unlock question ended: the press's capture still goes.
        if (!in.right && !in.middle) platform::ReleaseCapture();
        editedObject = nullptr;
        return;
    }
    BaseControl* control = theControl();
    RenderLockScope lock(control);
    MouseHandler::OnLButtonUp(packedPoint);
    Window* window = ActiveWindow();
    if (control && window && !in.right && moveCount == 0 && !in.ctrl && in.rememberedPart == 0) {
        if (in.pickCount < 2) {
            control->SelectAll(false);
        } else {
            PickableObject* hit = window->GetPickedObject(0);
            auto* clicked = dynamic_cast<SelectableObject*>(hit);
            if (PRECONDITION(clicked != nullptr, "Selected obj is null")) {
                const bool selected = !clicked->IsSelected();
                const uint64_t mask = clicked->GetTypeMask();
                if (!(in.shift && (mask & 0x80008))) {
                    control->SelectAll(false);
                    if (!(mask & TypeBit::kTerrain) && !HandlesObject(hit))
                        if (auto* top = dynamic_cast<TopLevelObject*>(hit))
                            SwitchMouseMode(top->GetKindCode());
                }
                clicked->SetSelected(selected);
            }
        }
    }
    editedObject = nullptr;
}

void BaseEditor::OnKeyDown(unsigned virtualKey) {
    MouseInput& in = Input();
    if (!IsArrowKey(virtualKey) || !in.ctrl) {
        MouseHandler::OnKeyDown(virtualKey);
        return;
    }
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window) return;
    RenderLockScope lock(control);
    if (!in.left && !in.right) window->viewFlags.SetBoolean(11, true);

    const double step = control->globalState.GetDouble(3);
    const Vector view = window->UnprojectViewCenter();
    bool moved = false;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        UndoableObject* object = nullptr;
        if (!IsNudgeable(node, object)) continue;
        moved = true;
        JoinNudge(*object);
        object->MoveBy(NudgeStep(virtualKey, step, view, lift != 0));
    }
    it.UnlockList();
    keyNudge = 1;
    if (!moved) MouseHandler::OnKeyDown(virtualKey);
}

void BaseEditor::JoinNudge(UndoableObject& object) {
    // Each object's step opens once per nudge and is closed with the others.
    const uint32_t name = object.GetPickName();
    if (std::find(nudged.begin(), nudged.end(), name) == nudged.end()) {
        object.BeginUndoStep();
        nudged.push_back(name);
    }
    keyNudge = 1;
}

bool BaseEditor::CloseNudge() {
    if (!keyNudge) return false;
    keyNudge = 0;
    BaseControl* control = theControl();
    if (!control) {
        nudged.clear();
        return false;
    }
    RenderLockScope lock(control);
    if (Window* window = ActiveWindow()) window->viewFlags.SetBoolean(11, false);
    bool closed = false;
    control->BeginUndoGroup();
    // Exactly the steps this nudge began; an object that went meanwhile took its step
    // with it.
    for (uint32_t name : nudged) {
        if (auto* object = dynamic_cast<UndoableObject*>(PickableObject::FromPickName(name))) {
            object->EndUndoStep();
            closed = true;
        }
    }
    control->EndUndoGroup();
    nudged.clear();
    return closed;
}

void BaseEditor::OnKeyUp(unsigned virtualKey) {
    // The last arrow released ends the nudge, also when Ctrl went up first.
    if (keyNudge && IsArrowKey(virtualKey) && !AnyArrowDown()) {
        if (!CloseNudge()) MouseHandler::OnKeyUp(virtualKey);
        return;
    }
    MouseHandler::OnKeyUp(virtualKey);
}

void BaseEditor::Deactivate() {
    CloseNudge();
    MouseHandler::Deactivate();
}
