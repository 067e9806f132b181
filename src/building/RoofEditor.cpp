#include "building/RoofEditor.h"

#include "building/Column.h"
#include "building/Roof.h"
#include "building/RoofGroup.h"
#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "render/Window.h"
#include "slabs/Dormer.h"

namespace {

constexpr uint64_t kCornerOwners = TypeBit::kWall | TypeBit::kRoof | TypeBit::kColumn;
constexpr uint64_t kNotCopied = TypeBit::kSlabChild | TypeBit::kSlabChildModel | TypeBit::kMolding;
constexpr uint64_t kGroupParts =
    TypeBit::kOutlineNode | TypeBit::kOutlineEdge | TypeBit::kModelPart;

}  // namespace

RoofEditor::~RoofEditor() {
    DropUnfinishedTarget();
}

Roof* RoofEditor::GetTarget() const {
    if (target) return target;
    auto* drawn =
        drawnName ? dynamic_cast<Roof*>(PickableObject::FromPickName(drawnName)) : nullptr;
    // A plane that left the scene (deleted, undone) is drawn no further.
    BaseControl* control = theControl();
    return drawn && control && drawn->GetOwner() == &control->scene ? drawn : nullptr;
}

void RoofEditor::DropUnfinishedTarget() {
    delete target;
    target = nullptr;
    drawnName = 0;
}

void RoofEditor::Activate() {
    DropUnfinishedTarget();
    editedObject = nullptr;
    SlabEditor::Activate();
}

void RoofEditor::Deactivate() {
    editedObject = nullptr;
    SetEditLock(false);
    SlabEditor::Deactivate();
}

void RoofEditor::SetEditLock(bool locked) {
    BaseControl* control = theControl();
    if (control && control->mainWindow) control->mainWindow->viewFlags.SetBoolean(4, locked);
    DropUnfinishedTarget();
    defaultCursor = locked ? platform::LoadCursor(kDrawCursor) : platform::kArrowCursor;
    BaseEditor::SetEditLock(locked);
}

void RoofEditor::ReleaseTarget() {
    editedObject = nullptr;
    SlabEditor::ReleaseTarget();
    moveCount = 0;
}

bool RoofEditor::HandlesObject(PickableObject* object) {
    if (editLock) return false;
    return !object || object->HasType(TypeBit::kRoof) || object->HasType(TypeBit::kShaftSide);
}

void RoofEditor::OnLButtonDown(intptr_t packedPoint) {
    SlabEditor::OnLButtonDown(packedPoint);
    MouseInput& in = Input();
    BaseControl* control = theControl();
    if (!in.qKey || !grabbed || editLock || !control) return;
    if (grabbed->GetTypeMask() & kNotCopied) return;
    auto* plane = dynamic_cast<Roof*>(editedSlab);
    if (!plane) return;
    RenderLockScope lock(control);
    // The copy stays where the plane was; the drag goes on with the plane itself.
    auto* copy = dynamic_cast<Roof*>(plane->Clone(false, true));
    if (!copy || copy == plane) return;
    copy->BeginTransaction(true);
    copy->EndUndoStep();
}

void RoofEditor::OnLButtonUp(intptr_t packedPoint) {
    MouseInput& in = Input();
    if (!in.left) {
        CloseEdit();
        return;
    }
    BaseControl* control = theControl();
    if (editLock) {
        RenderLockScope lock(control);
        MouseHandler::OnLButtonUp(packedPoint);
        grabbed = nullptr;
        CloseEdit();
        return;
    }
    if (auto* object = dynamic_cast<RenderableObject*>(editedObject);
        object && control && !control->globalState.GetBoolean(13)) {
        RenderLockScope lock(control);
        object->FlagOverlappingLights();
    }
    SlabEditor::OnLButtonUp(packedPoint);
}

void RoofEditor::OnLButtonDblClk(intptr_t packedPoint) {
    MouseHandler::OnLButtonDblClk(packedPoint);
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    if (!control || !window || Input().pickCount <= 1) return;
    PickableObject* first = window->GetPickedObject(0);
    PickableObject* second = window->GetPickedObject(1);
    auto* plane = dynamic_cast<Roof*>(first);
    if (!plane || !HandlesObject(first) || !second) return;
    RenderLockScope lock(control);
    control->BeginUndoGroup();
    plane->BeginUndoStep();
    if (second->HasType(TypeBit::kDormer)) {
        if (auto* dormer = dynamic_cast<Dormer*>(second)) dormer->ToggleOption();
    } else if (RoofGroup* group = plane->GetGroup();
               group && (second->GetTypeMask() & kGroupParts)) {
        group->ToggleWireframe();
    }
    plane->EndUndoStep();
    control->EndUndoGroup();
}

void RoofEditor::OnSingleClick(intptr_t packedPoint) {
    if (!editLock) {
        MouseHandler::OnSingleClick(packedPoint);
        return;
    }
    BaseControl* control = theControl();
    Window* window = ActiveWindow();
    MouseInput& in = Input();
    if (!control || !window || in.pickCount < 2) return;
    RenderLockScope lock(control);
    PickableObject* first = window->GetPickedObject(0);
    PickableObject* second = window->GetPickedObject(1);
    if (!first || !second || !(first->GetTypeMask() & kCornerOwners) ||
        !second->HasType(TypeBit::kOutlineNode))
        return;
    const MousePoint point = MousePoint::Unpack(packedPoint);
    if (Roof* drawn = target ? nullptr : GetTarget()) {
        if (drawn->GetOutline().GetPrimaryCount() < 3) return;
        control->BeginUndoGroup();
        drawn->BeginUndoStep();
        drawn->InsertScreenPoint(ProjectionOf(*window), point.x, point.y);
        drawn->EndUndoStep();
        control->EndUndoGroup();
        return;
    }
    if (!target) {
        SetShowTypes(TypeBit::kRoofGroup | TypeBit::kRoof);
        target = new Roof(false);
    }
    Vector corner = static_cast<OutlinePoint*>(second)->position;
    if (first->HasType(TypeBit::kColumn)) {
        auto* column = dynamic_cast<Column*>(first);
        PickableObject* third = in.pickCount > 2 ? window->GetPickedObject(2) : nullptr;
        if (!column || !third || !third->HasType(TypeBit::kOutlineNode)) return;
        corner = static_cast<OutlinePoint*>(third)->position;
        corner.y = column->GetTopHeight() + target->BaseSlab::GetThickness() * 0.5;
    }
    corner.w = 1.0;
    if (!target->InsertPointAt(corner)) return;
    if (target->GetOutline().GetPrimaryCount() == 3) {
        Roof* plane = target;
        target = nullptr;
        control->BeginUndoGroup();
        plane->GetOutline().ComputeNormal();
        plane->AllocateRoofArrays();
        plane->BeginTransaction(true);
        control->scene.Append(plane);
        drawnName = plane->GetPickName();
        plane->EndUndoStep();
        control->EndUndoGroup();
    }
}
